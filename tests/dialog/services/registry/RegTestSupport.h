#pragma once
// Scratch keys, raw value reads, a guard that puts HKEY_CLASSES_ROOT back as it was,
// and late-bound calls that report the HRESULT a method returned.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

namespace regtest {

// A name no other test program or run uses: tag-pid-counter.
std::wstring UniqueName(const wchar_t* tag);

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
bool ReadRaw(HKEY root, const std::wstring& path, const std::wstring& name, RawValue& out);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path);
void WriteRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size);
void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void CreateKey(HKEY root, const std::wstring& path);
void DeleteTree(HKEY root, const std::wstring& path);
std::vector<BYTE> Bytes(std::initializer_list<int> bytes);

// A fresh key root\parent\StagehandTest-<unique>, deleted with everything below it at the end.
class ScratchKey {
public:
    ScratchKey(HKEY root, const std::wstring& parent, const wchar_t* tag);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    HKEY root() const { return root_; }
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& sub) const { return path_ + L"\\" + sub; }

private:
    HKEY root_;
    std::wstring path_;
};

// Records a key (and what is below it) and restores it at the end: a key that did
// not exist is removed again together with the ancestors the test caused to exist.
class KeyGuard {
public:
    KeyGuard(HKEY root, const std::wstring& path);
    ~KeyGuard();
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

    struct Node {
        std::vector<std::pair<std::wstring, RawValue>> values;
        std::vector<std::pair<std::wstring, Node>> subkeys;
    };

private:
    HKEY root_;
    std::wstring path_;
    std::wstring firstMissing_;  // the shortest prefix of path_ that did not exist
    Node saved_;
};


// A VARIANT holding a one-dimensional SAFEARRAY of VARIANT with the given lower bound
// (1 as a script engine's arrays arrive, 0 as VBScript passes them). Takes the elements.
VARIANT VariantArray(LONG lowerBound, std::vector<VARIANT> elements);
// A SAFEARRAY of BSTR (not of VARIANT) in a VARIANT.
VARIANT BstrArray(const std::vector<std::wstring>& strings);
VARIANT Null();

// The strings of a VT_ARRAY|VT_BSTR result (fails the test for any other shape).
std::vector<std::wstring> Strings(const VARIANT& v, LONG* lowerBound = nullptr);

}  // namespace regtest
