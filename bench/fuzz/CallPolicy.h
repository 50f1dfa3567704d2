#pragma once
// Which methods of a class the robustness run leaves out, and which get bounded
// arguments, with the reason each time.
#include <string>

namespace fuzz {

struct MethodPolicy {
    const wchar_t* progId;  // version-independent ProgID
    const wchar_t* method;
    // nullptr: the method is skipped. Otherwise one ValueFactory kind per parameter,
    // in declaration order; a call with another argument count takes the first
    // bounded kind for every argument.
    const wchar_t* kinds;
    const wchar_t* reason;
};

// The policy of one method, or nullptr when its arguments are free.
const MethodPolicy* FindPolicy(const std::wstring& progId, const std::wstring& method);

// Every policy line of a class, for the report.
std::wstring DescribePolicies(const std::wstring& progId);

}  // namespace fuzz
