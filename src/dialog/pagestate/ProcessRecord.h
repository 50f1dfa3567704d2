#pragma once
// Structured data a page hands to the engine through the page-state object: a name and
// an ordered list of (key, value) texts, read from a script object's properties.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

class ProcessRecord {
public:
    using Pair = std::pair<std::wstring, std::wstring>;

    // Reads a script object. The properties are the variables of the object's own type
    // information, visited from the last one to the first. At the top level the name
    // becomes each visited property's name in turn (so it ends as the first one's) and
    // only properties holding objects add pairs, by flattening them: a text property
    // gives (name, text), a number (name, decimal), a nested object the pair
    // ("RESERVED_NODE_IDENTIFIER", name) and then its own pairs; other values add
    // nothing. A top-level property that can't be read fails the read; inside a nested
    // object it only ends that object, keeping the pairs before it.
    HRESULT Read(IDispatch* object);

    const std::wstring& Name() const noexcept { return name_; }
    const std::vector<Pair>& Pairs() const noexcept { return pairs_; }

    // A one-dimensional array of BSTR: the name, then each pair's key and value. Each
    // pair is written to the debug output as "key : value" with a line end.
    HRESULT ToArray(SAFEARRAY** out) const;

private:
    // Appends the pairs of a nested object; a failure ends it where it happened.
    HRESULT Flatten(IDispatch* object, int depth);

    std::wstring name_;
    std::vector<Pair> pairs_;
};
