#include "RegTestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "Harness.h"
#include "common/Handle.h"

namespace regtest {

std::wstring UniqueName(const wchar_t* tag) {
    static LONG counter = 0;
    return std::wstring(tag) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::InterlockedIncrement(&counter)) + L"-" + std::to_wstring(::GetTickCount() % 100000);
}

bool ReadRaw(HKEY root, const std::wstring& path, const std::wstring& name, RawValue& out) {
    common::UniqueKey k;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &out.type, nullptr, &size) != ERROR_SUCCESS) return false;
    out.data.assign(size, 0);
    if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &out.type, size ? out.data.data() : nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    out.data.resize(size);
    return true;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> out;
    common::UniqueKey k;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD len = 16384;
        if (::RegEnumValueW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.emplace_back(name, len);
    }
    return out;
}

void WriteRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
              DWORD size) {
    common::UniqueKey k;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(),
                                               nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(k.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
}

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    WriteRaw(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void CreateKey(HKEY root, const std::wstring& path) {
    common::UniqueKey k;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(),
                                               nullptr));
}

void DeleteTree(HKEY root, const std::wstring& path) {
    if (!path.empty()) ::SHDeleteKeyW(root, path.c_str());
}

std::vector<BYTE> Bytes(std::initializer_list<int> bytes) {
    std::vector<BYTE> out;
    for (int b : bytes) out.push_back(static_cast<BYTE>(b));
    return out;
}

ScratchKey::ScratchKey(HKEY root, const std::wstring& parent, const wchar_t* tag)
    : root_(root), path_(parent + L"\\StagehandTest-" + UniqueName(tag)) {
    CreateKey(root_, path_);
}

ScratchKey::~ScratchKey() { DeleteTree(root_, path_); }

namespace {

void Capture(HKEY key, KeyGuard::Node& node) {
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD len = 16384, type = 0, size = 0;
        if (::RegEnumValueW(key, i, name, &len, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RawValue v;
        v.type = type;
        v.data.assign(size, 0);
        len = 16384;
        ::RegEnumValueW(key, i, name, &len, nullptr, &type, size ? v.data.data() : nullptr, &size);
        node.values.emplace_back(std::wstring(name, len), v);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (::RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        common::UniqueKey sub;
        KeyGuard::Node child;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, sub.put()) == ERROR_SUCCESS) Capture(sub.get(), child);
        node.subkeys.emplace_back(std::wstring(name, len), std::move(child));
    }
}

void Recreate(HKEY parent, const std::wstring& path, const KeyGuard::Node& node) {
    common::UniqueKey key;
    if (::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot restore " << harness::Narrow(path);
        return;
    }
    for (auto& v : node.values)
        ::RegSetValueExW(key.get(), v.first.c_str(), 0, v.second.type, v.second.data.data(),
                         static_cast<DWORD>(v.second.data.size()));
    for (auto& s : node.subkeys) Recreate(key.get(), s.first, s.second);
}

}  // namespace

KeyGuard::KeyGuard(HKEY root, const std::wstring& path) : root_(root), path_(path) {
    size_t pos = 0;
    for (;;) {
        size_t next = path_.find(L'\\', pos);
        std::wstring prefix = path_.substr(0, next);
        if (!harness::KeyExists(root_, prefix)) {
            firstMissing_ = prefix;
            return;
        }
        if (next == std::wstring::npos) break;
        pos = next + 1;
    }
    common::UniqueKey k;
    if (::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS) Capture(k.get(), saved_);
}

KeyGuard::~KeyGuard() {
    if (!firstMissing_.empty()) {
        DeleteTree(root_, firstMissing_);
        EXPECT_FALSE(harness::KeyExists(root_, firstMissing_)) << harness::Narrow(firstMissing_);
        return;
    }
    DeleteTree(root_, path_);
    Recreate(root_, path_, saved_);
}

VARIANT VariantArray(LONG lowerBound, std::vector<VARIANT> elements) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(elements.size()), lowerBound};
    SAFEARRAY* sa = ::SafeArrayCreate(VT_VARIANT, 1, &bound);
    EXPECT_NE(nullptr, sa);
    for (size_t i = 0; sa && i < elements.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        EXPECT_HR(S_OK, ::SafeArrayPutElement(sa, &index, &elements[i]));
    }
    for (auto& e : elements) ::VariantClear(&e);
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&v) = sa;
    return v;
}

VARIANT BstrArray(const std::vector<std::wstring>& strings) {
    SAFEARRAY* sa = ::SafeArrayCreateVector(VT_BSTR, 1, static_cast<ULONG>(strings.size()));
    for (size_t i = 0; sa && i < strings.size(); ++i) {
        LONG index = 1 + static_cast<LONG>(i);
        BSTR s = ::SysAllocString(strings[i].c_str());
        EXPECT_HR(S_OK, ::SafeArrayPutElement(sa, &index, s));
        ::SysFreeString(s);
    }
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&v) = sa;
    return v;
}

VARIANT Null() {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_NULL;
    return v;
}

std::vector<std::wstring> Strings(const VARIANT& v, LONG* lowerBound) {
    std::vector<std::wstring> out;
    EXPECT_EQ(VT_ARRAY | VT_BSTR, V_VT(&v));
    if (V_VT(&v) != (VT_ARRAY | VT_BSTR) || !V_ARRAY(&v)) return out;
    SAFEARRAY* sa = V_ARRAY(&v);
    EXPECT_EQ(1u, ::SafeArrayGetDim(sa));
    LONG lo = 0, hi = -1;
    ::SafeArrayGetLBound(sa, 1, &lo);
    ::SafeArrayGetUBound(sa, 1, &hi);
    if (lowerBound) *lowerBound = lo;
    for (LONG i = lo; i <= hi; ++i) {
        BSTR s = nullptr;
        EXPECT_HR(S_OK, ::SafeArrayGetElement(sa, &i, &s));
        out.emplace_back(s ? s : L"");
        ::SysFreeString(s);
    }
    return out;
}

}  // namespace regtest
