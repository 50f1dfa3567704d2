#include "dialog/services/registry/CRegAccess.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "dialog/services/registry/RegDebug.h"
#include "dialog/services/registry/RegTreeDeleter.h"

namespace {

// Longest key names the file-type writers accept, as their fixed path buffers
// (100 and 256 characters with the terminating NUL) allow.
const size_t kShortKeyChars = 99;
const size_t kCommandKeyChars = 255;

const wchar_t kProgIdPrefix[] = L"Playdeck.";
const wchar_t kCommandKeySuffix[] = L"\\shell\\Open\\command";
const wchar_t kMimeKeyPrefix[] = L"MIME\\Database\\Content Type\\";

// Root codes of OpenKey: 1 the current user, 2 the machine, anything else the classes.
HKEY RootFor(INT code) noexcept {
    switch (code) {
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_LOCAL_MACHINE;
    default: return HKEY_CLASSES_ROOT;
    }
}

// Creates (or opens) a subkey for writing values.
LONG CreateForWrite(HKEY parent, const wchar_t* subkey, common::UniqueKey& out) noexcept {
    return ::RegCreateKeyExW(parent, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, out.put(),
                             nullptr);
}

// Writes a REG_SZ value with its terminating NUL.
LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) noexcept {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Creates root\subkey and writes one string value there; failures are the caller's
// to ignore.
LONG WriteString(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& text) noexcept {
    common::UniqueKey key;
    LONG err = CreateForWrite(root, subkey.c_str(), key);
    if (err != ERROR_SUCCESS) return err;
    return SetString(key.get(), name, text);
}

// Hex digit value of one 8-bit character; characters are not validated, so other
// characters give values outside 0-15 that still land in the byte.
int HexDigit(signed char c) noexcept {
    if (c <= 0x40) return c - 0x30;
    if (c <= 0x60) return c - 0x37;
    return c - 0x57;
}

// Writes hexadecimal text as REG_BINARY: two digits per byte, first digit high; a
// trailing odd digit is dropped.
LONG SetBinaryFromHex(HKEY key, const wchar_t* name, const wchar_t* text) noexcept {
    int chars = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (chars < 1) chars = 1;
    std::vector<char> ansi;
    std::vector<BYTE> bytes;
    try {
        ansi.assign(static_cast<size_t>(chars), '\0');
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    if (*text && !::WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, ansi.data(), chars, nullptr, nullptr))
        ansi[0] = '\0';
    size_t m = std::strlen(ansi.data());
    size_t count = m / 2;
    try {
        bytes.assign(count + 1, 0);  // one spare byte keeps the pointer valid for an empty value
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    for (size_t j = 0; j < count * 2; ++j) {
        int digit = HexDigit(static_cast<signed char>(ansi[j]));
        if ((j & 1) == 0) digit <<= 4;
        bytes[j / 2] |= static_cast<BYTE>(digit);
    }
    return ::RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(count));
}

// The array an automation caller passes for a VARIANT* argument: a VARIANT holding
// a SAFEARRAY, directly or by reference.
SAFEARRAY* ArrayOf(const VARIANT* v) noexcept {
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
    if (!v) return nullptr;
    if (V_VT(v) == (VT_ARRAY | VT_VARIANT)) return V_ARRAY(v);
    if (V_VT(v) == (VT_BYREF | VT_ARRAY | VT_VARIANT)) return V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr;
    return nullptr;
}

// REG_MULTI_SZ data from a one-dimensional array of VARIANT read at the indexes 1
// through its element count (a script engine's arrays start at 1). Each element is
// converted to text; any element that is missing from the array or can't be
// converted refuses the whole array with E_INVALIDARG.
HRESULT MultiStringFromArray(const VARIANT* val, std::wstring& data) {
    SAFEARRAY* sa = ArrayOf(val);
    if (!sa || ::SafeArrayGetDim(sa) != 1) return E_INVALIDARG;
    VARTYPE vt = VT_EMPTY;
    if (FAILED(::SafeArrayGetVartype(sa, &vt)) || vt != VT_VARIANT) return E_INVALIDARG;
    LONG lower = 0, upper = -1;
    RETURN_IF_FAILED(::SafeArrayGetLBound(sa, 1, &lower));
    RETURN_IF_FAILED(::SafeArrayGetUBound(sa, 1, &upper));
    const ULONG count = sa->rgsabound[0].cElements;
    data.clear();
    for (ULONG n = 1; n <= count; ++n) {
        LONG index = static_cast<LONG>(n);
        if (index < lower || index > upper) return E_INVALIDARG;
        common::Variant element;
        HRESULT hr = ::SafeArrayGetElement(sa, &index, element.get());
        if (hr == E_OUTOFMEMORY) return hr;
        if (FAILED(hr)) return E_INVALIDARG;
        if (element.vt() != VT_BSTR) {
            hr = element.ChangeType(VT_BSTR);
            if (hr == E_OUTOFMEMORY) return hr;
            if (FAILED(hr)) return E_INVALIDARG;
        }
        const wchar_t* text = common::BstrText(V_BSTR(element.get()));
        data.append(text, std::wcslen(text));
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    return S_OK;
}

// Splits multi-string data of n characters into its non-empty strings.
void SplitMultiString(const wchar_t* buf, size_t n, std::vector<std::wstring>& out) {
    size_t pos = 0;
    while (pos < n) {
        size_t end = pos;
        while (end < n && buf[end] != L'\0') ++end;
        if (end > pos) out.emplace_back(buf + pos, end - pos);
        pos = end + 1;
    }
}

// A zero-based SAFEARRAY of BSTR holding the strings in order.
HRESULT BstrArray(const std::vector<std::wstring>& strings, SAFEARRAY** out) noexcept {
    *out = nullptr;
    common::SafeArray sa(::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(strings.size())));
    if (!sa) return E_OUTOFMEMORY;
    BSTR* items = nullptr;
    RETURN_IF_FAILED(::SafeArrayAccessData(sa.get(), reinterpret_cast<void**>(&items)));
    HRESULT hr = S_OK;
    for (size_t i = 0; i < strings.size(); ++i) {
        items[i] = ::SysAllocStringLen(strings[i].data(), static_cast<UINT>(strings[i].size()));
        if (!items[i]) {
            hr = E_OUTOFMEMORY;
            break;
        }
    }
    HRESULT unaccess = ::SafeArrayUnaccessData(sa.get());
    RETURN_IF_FAILED(hr);
    RETURN_IF_FAILED(unaccess);
    *out = sa.release();
    return S_OK;
}

}  // namespace

CRegAccess::CRegAccess() : common::ProvideClassInfoImpl(__uuidof(CRegAccess)) {}

CRegAccess::~CRegAccess() = default;

STDMETHODIMP CRegAccess::OpenKey(INT root, BSTR* subkey, VARIANT_BOOL* opened) {
    RETURN_IF_NULL(opened);
    *opened = VARIANT_FALSE;
    key_.reset();
    const wchar_t* name = common::BstrText(subkey);
    HKEY openedKey = nullptr;
    if (::RegOpenKeyExW(RootFor(root), name, 0, KEY_ALL_ACCESS, &openedKey) != ERROR_SUCCESS) {
        RegDebug("CRegAccess::RegOpenKeyEx failed. subkey:", name);
        return S_FALSE;
    }
    key_.reset(openedKey);
    *opened = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CRegAccess::QueryValue(BSTR valueName, VARIANT* pParams) {
    RETURN_IF_NULL(pParams);
    ::VariantInit(pParams);
    if (!key_) return S_OK;
    const wchar_t* name = common::BstrText(valueName);
    DWORD size = 0;
    if (::RegQueryValueExW(key_.get(), name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return S_OK;
    const size_t n = size / sizeof(wchar_t);
    return common::NoThrow([&]() -> HRESULT {
        // Room for every byte of the data (an odd byte count included), zero-filled.
        std::vector<wchar_t> buf((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        if (::RegQueryValueExW(key_.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &got) !=
            ERROR_SUCCESS)
            return S_OK;
        std::vector<std::wstring> strings;
        SplitMultiString(buf.data(), n, strings);
        if (strings.empty()) return S_OK;
        SAFEARRAY* sa = nullptr;
        RETURN_IF_FAILED(BstrArray(strings, &sa));
        V_VT(pParams) = VT_ARRAY | VT_BSTR;
        V_ARRAY(pParams) = sa;
        return S_OK;
    });
}

STDMETHODIMP CRegAccess::QuerySZValue(BSTR valueName, BSTR* val) {
    RETURN_IF_NULL(val);
    *val = nullptr;
    if (!key_) return S_FALSE;
    const wchar_t* name = common::BstrText(valueName);
    DWORD size = 0;
    if (::RegQueryValueExW(key_.get(), name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return S_FALSE;
    return common::NoThrow([&]() -> HRESULT {
        // At least the data and one more character, zero-filled, so the text ends.
        std::vector<wchar_t> buf((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        if (::RegQueryValueExW(key_.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &got) !=
            ERROR_SUCCESS)
            return S_FALSE;
        *val = ::SysAllocString(buf.data());
        return *val ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP CRegAccess::QueryDWORDValue(BSTR valueName, ULONG* val) {
    RETURN_IF_NULL(val);
    *val = 0;
    if (!key_) return S_FALSE;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (::RegQueryValueExW(key_.get(), common::BstrText(valueName), nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                           &size) != ERROR_SUCCESS)
        return S_FALSE;
    // Shorter data was read into the low bytes of the zeroed number.
    *val = number;
    return S_OK;
}

STDMETHODIMP CRegAccess::GetSubKey(INT indx, BSTR* val) {
    if (val) *val = nullptr;
    if (!key_) return S_FALSE;
    RETURN_IF_NULL(val);
    wchar_t name[512];
    DWORD len = sizeof name / sizeof name[0];
    if (::RegEnumKeyExW(key_.get(), static_cast<DWORD>(indx), name, &len, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return S_OK;  // past the last subkey: the script's loop ends on the empty name
    *val = ::SysAllocStringLen(name, len);
    return *val ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CRegAccess::CreateSubKey(BSTR* key, BSTR* name, BSTR* val, ULONG type) {
    if (!key_) return S_FALSE;
    // Only strings, binary data and numbers; anything else writes nothing at all.
    if (type != REG_SZ && type != REG_BINARY && type != REG_DWORD) return S_FALSE;
    common::UniqueKey sub;
    if (CreateForWrite(key_.get(), common::BstrText(key), sub) != ERROR_SUCCESS) return S_FALSE;
    const wchar_t* valueName = common::BstrText(name);
    const wchar_t* text = common::BstrText(val);
    LONG err = ERROR_SUCCESS;
    switch (type) {
    case REG_SZ:
        err = ::RegSetValueExW(sub.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
        break;
    case REG_DWORD: {
        DWORD number = static_cast<DWORD>(std::wcstol(text, nullptr, 10));
        err = ::RegSetValueExW(sub.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                               sizeof number);
        break;
    }
    case REG_BINARY:
        err = SetBinaryFromHex(sub.get(), valueName, text);
        break;
    }
    return err == ERROR_SUCCESS ? S_OK : S_FALSE;
}

STDMETHODIMP CRegAccess::CreateMLSubKey(BSTR* key, BSTR* name, VARIANT* val, ULONG type) {
    if (!key_) {
        RegDebug("CRegAccess::CreateMLSubKey root not open");
        return S_OK;
    }
    // Type and data are checked before anything is created, so a refused call
    // leaves the registry as it was.
    if (type != REG_MULTI_SZ) {
        RegDebug("CRegAccess::CreateMLSubKey wrong type");
        return S_OK;
    }
    std::wstring data;
    RETURN_IF_FAILED(common::NoThrow([&] { return MultiStringFromArray(val, data); }));
    const wchar_t* keyName = common::BstrText(key);
    common::UniqueKey sub;
    LONG err = CreateForWrite(key_.get(), keyName, sub);
    if (err != ERROR_SUCCESS) {
        RegDebug("CRegAccess::CreateMLSubKey RegCreateKeyEx failed: ", keyName, static_cast<DWORD>(err));
        return S_OK;
    }
    err = ::RegSetValueExW(sub.get(), common::BstrText(name), 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    if (err != ERROR_SUCCESS) RegDebugCode("CRegAccess::CreateMLSubKey RegSetValueEx failed: ", static_cast<DWORD>(err));
    return S_OK;
}

STDMETHODIMP CRegAccess::DeleteKey(BSTR* key) {
    if (!key_) {
        RegDebug("CRegAccess::DeleteKey root not open");
        return S_OK;
    }
    const wchar_t* name = common::BstrText(key);
    // An empty name is the default value: deleting the "subkey" of that name would
    // delete the open key itself.
    LONG keyErr = ERROR_FILE_NOT_FOUND;
    if (*name) {
        keyErr = ::RegDeleteKeyW(key_.get(), name);
        if (keyErr == ERROR_SUCCESS) return S_OK;
    }
    LONG valueErr = ::RegDeleteValueW(key_.get(), name);
    if (valueErr == ERROR_SUCCESS) return S_OK;
    if (valueErr != ERROR_FILE_NOT_FOUND)
        RegDebug("CRegAccess::DeleteKey RegDeleteValue failed. Key: ", name, static_cast<DWORD>(valueErr));
    else
        RegDebug("CRegAccess::DeleteKey RegDeleteKey failed. Key: ", name, static_cast<DWORD>(keyErr));
    return S_OK;
}

STDMETHODIMP CRegAccess::RegDeleteTree(BSTR* key) {
    if (!key_) {
        RegDebug("CRegAccess::RegDeleteTree root not open");
        return S_OK;
    }
    const wchar_t* name = common::BstrText(key);
    // An empty name would be the open key itself, everything below it included.
    if (!*name) {
        RegDebug("CRegAccess::RegDeleteTree empty key name, nothing deleted");
        return S_FALSE;
    }
    // A name the path buffer can't hold is refused whole: cut short, it would
    // name some other key.
    if (std::wcslen(name) >= RegTreeDeleter::kPathChars) {
        RegDebug("RegDelnodeRecurse path too long:", name);
        return S_FALSE;
    }
    // The outcome reaches only the debug output.
    RegTreeDeleter(key_.get()).Delete(name);
    return S_OK;
}

STDMETHODIMP CRegAccess::InstallProgramType(BSTR* wszProgramToRun, BSTR* szArg, BSTR* wszType,
                                            VARIANT_BOOL bIEAlwaysOpen) {
    const wchar_t* type = common::BstrText(wszType);
    const wchar_t* arg = common::BstrText(szArg);
    if (!*type) {
        // ".<type>" would be HKEY_CLASSES_ROOT\. and the program id a bare prefix.
        RegDebug("CRegAccess::InstallProgramType empty type, nothing written");
        return S_FALSE;
    }
    try {
        const std::wstring extKey = std::wstring(L".") + type;
        const std::wstring progId = kProgIdPrefix + std::wstring(type);
        const std::wstring commandKey = progId + kCommandKeySuffix;
        if (extKey.size() > kShortKeyChars || progId.size() > kShortKeyChars ||
            commandKey.size() > kCommandKeyChars) {
            RegDebug("CRegAccess::InstallProgramType type too long: ", type);
            return S_FALSE;
        }
        std::wstring command = L"\"";
        command += common::BstrText(wszProgramToRun);
        command += L"\"";
        if (*arg) {
            command += L" \"";
            command += arg;
            command += L"\"";
        }
        command += L" \"%1\"";

        // Registry failures leave the association incomplete; the caller is not told.
        WriteString(HKEY_CLASSES_ROOT, extKey, nullptr, progId);
        WriteString(HKEY_CLASSES_ROOT, commandKey, nullptr, command);
        if (bIEAlwaysOpen) {
            common::UniqueKey key;
            if (CreateForWrite(HKEY_CLASSES_ROOT, progId.c_str(), key) == ERROR_SUCCESS) {
                // The shell's "open is safe" flag: the browser opens such files without asking.
                const BYTE editFlags[4] = {0x00, 0x00, 0x01, 0x00};
                ::RegSetValueExW(key.get(), L"EditFlags", 0, REG_BINARY, editFlags, sizeof editFlags);
            }
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CRegAccess::RegMimeType(BSTR* ext, BSTR* mime) {
    const wchar_t* extension = common::BstrText(ext);
    const wchar_t* contentType = common::BstrText(mime);
    if (!*extension || !*contentType) {
        // An empty extension names HKEY_CLASSES_ROOT itself, an empty type the whole
        // MIME database key.
        RegDebug("CRegAccess::RegMimeType empty extension or MIME type, nothing written");
        return S_FALSE;
    }
    try {
        const std::wstring mimeKey = kMimeKeyPrefix + std::wstring(contentType);
        if (mimeKey.size() > kShortKeyChars) {
            RegDebug("CRegAccess::RegMimeType MIME type too long: ", contentType);
            return S_FALSE;
        }
        WriteString(HKEY_CLASSES_ROOT, extension, L"Content Type", contentType);
        WriteString(HKEY_CLASSES_ROOT, mimeKey, L"Extension", extension);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
