#include "common/Registration.h"

#include <comcat.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "common/ComPtr.h"
#include "common/Format.h"
#include "common/Handle.h"
#include "common/HResult.h"

namespace common {

namespace {

HRESULT CreateKey(HKEY parent, const wchar_t* name, UniqueKey& key) {
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
    return S_OK;
}

HRESULT SetString(HKEY key, const wchar_t* valueName, const wchar_t* value) {
    RETURN_IF_WIN32_ERROR(::RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                           static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t))));
    return S_OK;
}

// Creates parent\name with a default value (and returns the key).
HRESULT KeyWithDefault(HKEY parent, const wchar_t* name, const wchar_t* value, UniqueKey& key) {
    RETURN_IF_FAILED(CreateKey(parent, name, key));
    return SetString(key.get(), nullptr, value);
}

HRESULT KeyWithDefault(HKEY parent, const wchar_t* name, const wchar_t* value) {
    UniqueKey key;
    return KeyWithDefault(parent, name, value, key);
}

// Deletes a key and everything below it; a missing key is not an error.
HRESULT DeleteTree(HKEY parent, const wchar_t* name) {
    LONG e = static_cast<LONG>(::SHDeleteKeyW(parent, name));
    if (e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(e);
}

HRESULT ProgIdKeys(const ClassRegistration& cls, const wchar_t* clsid) {
    UniqueKey key;
    RETURN_IF_FAILED(KeyWithDefault(HKEY_CLASSES_ROOT, cls.progId, cls.description, key));
    RETURN_IF_FAILED(KeyWithDefault(key.get(), L"CLSID", clsid));
    RETURN_IF_FAILED(KeyWithDefault(HKEY_CLASSES_ROOT, cls.viProgId, cls.description, key));
    RETURN_IF_FAILED(KeyWithDefault(key.get(), L"CLSID", clsid));
    return KeyWithDefault(key.get(), L"CurVer", cls.progId);
}

HRESULT CategoryManager(ComPtr<ICatRegister>& reg) {
    return ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                              reg.put_void());
}

}  // namespace

void GuidString(const GUID& guid, wchar_t (&text)[kGuidChars]) noexcept {
    if (::StringFromGUID2(guid, text, kGuidChars) <= 0) text[0] = L'\0';
}

namespace {

// "<name>.DLL", the AppID key the server's file name finds.
HRESULT DllKeyName(const ServerRegistration& server, wchar_t (&name)[MAX_PATH]) noexcept {
    if (FormatText(name, MAX_PATH, L"%ls.DLL", server.name) < 0) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

}  // namespace

HRESULT RegisterAppId(const ServerRegistration& server) noexcept {
    UniqueKey appIds;
    RETURN_IF_FAILED(CreateKey(HKEY_CLASSES_ROOT, L"AppID", appIds));
    RETURN_IF_FAILED(KeyWithDefault(appIds.get(), server.appId, server.name));
    wchar_t dllKey[MAX_PATH];
    RETURN_IF_FAILED(DllKeyName(server, dllKey));
    UniqueKey dll;
    RETURN_IF_FAILED(CreateKey(appIds.get(), dllKey, dll));
    return SetString(dll.get(), L"AppID", server.appId);
}

HRESULT UnregisterAppId(const ServerRegistration& server) noexcept {
    wchar_t dllKey[MAX_PATH];
    RETURN_IF_FAILED(DllKeyName(server, dllKey));
    UniqueKey appIds;
    LONG e = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_READ | KEY_WRITE, appIds.put());
    if (e == ERROR_FILE_NOT_FOUND) return S_OK;
    RETURN_IF_WIN32_ERROR(e);
    // Both keys are tried whatever happens to the first; the first failure is reported.
    const HRESULT first = DeleteTree(appIds.get(), server.appId);
    const HRESULT second = DeleteTree(appIds.get(), dllKey);
    return FAILED(first) ? first : second;
}

HRESULT RegisterClassKeys(const ClassRegistration& cls, const ServerRegistration& server,
                          const wchar_t* modulePath) noexcept {
    wchar_t clsid[kGuidChars];
    GuidString(*cls.clsid, clsid);
    RETURN_IF_FAILED(ProgIdKeys(cls, clsid));

    UniqueKey clsids;
    RETURN_IF_FAILED(CreateKey(HKEY_CLASSES_ROOT, L"CLSID", clsids));
    RETURN_IF_FAILED(DeleteTree(clsids.get(), clsid));  // replaced as a whole
    UniqueKey key;
    RETURN_IF_FAILED(KeyWithDefault(clsids.get(), clsid, cls.description, key));
    RETURN_IF_FAILED(KeyWithDefault(key.get(), L"ProgID", cls.progId));
    RETURN_IF_FAILED(KeyWithDefault(key.get(), L"VersionIndependentProgID", cls.viProgId));
    RETURN_IF_FAILED(DeleteTree(key.get(), L"Programmable"));
    UniqueKey programmable;
    RETURN_IF_FAILED(CreateKey(key.get(), L"Programmable", programmable));

    // An executable image is a local server; a DLL an in-process one.
    const bool exe = ::SHGetFileInfoW(modulePath, 0, nullptr, 0, SHGFI_EXETYPE) != 0;
    UniqueKey server32;
    RETURN_IF_FAILED(KeyWithDefault(key.get(), exe ? L"LocalServer32" : L"InprocServer32", modulePath, server32));
    RETURN_IF_FAILED(SetString(server32.get(), L"ThreadingModel", cls.threadingModel));
    RETURN_IF_FAILED(SetString(key.get(), L"AppID", server.appId));
    wchar_t libid[kGuidChars];
    GuidString(*server.libid, libid);
    return KeyWithDefault(key.get(), L"TypeLib", libid);
}

HRESULT UnregisterClassKeys(const ClassRegistration& cls) noexcept {
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    keep(DeleteTree(HKEY_CLASSES_ROOT, cls.progId));
    keep(DeleteTree(HKEY_CLASSES_ROOT, cls.viProgId));
    UniqueKey clsids;
    LONG e = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ | KEY_WRITE, clsids.put());
    if (e == ERROR_SUCCESS) {
        wchar_t clsid[kGuidChars];
        GuidString(*cls.clsid, clsid);
        keep(DeleteTree(clsids.get(), clsid));
    } else if (e != ERROR_FILE_NOT_FOUND) {
        keep(HRESULT_FROM_WIN32(e));
    }
    return first;
}

HRESULT RegisterTypeLibrary(const wchar_t* modulePath) noexcept {
    ComPtr<ITypeLib> lib;
    RETURN_IF_FAILED(::LoadTypeLibEx(modulePath, REGKIND_NONE, lib.put()));
    return ::RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(modulePath), nullptr);
}

HRESULT UnregisterTypeLibrary(const wchar_t* modulePath) noexcept {
    ComPtr<ITypeLib> lib;
    RETURN_IF_FAILED(::LoadTypeLibEx(modulePath, REGKIND_NONE, lib.put()));
    TLIBATTR* attr = nullptr;
    RETURN_IF_FAILED(lib->GetLibAttr(&attr));
    const TLIBATTR a = *attr;
    lib->ReleaseTLibAttr(attr);
    BSTR registered = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, &registered)))
        return S_OK;  // nothing registered: nothing to remove
    ::SysFreeString(registered);
    return ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

HRESULT RegisterCategory(const GUID& catid, const wchar_t* description) noexcept {
    ComPtr<ICatRegister> reg;
    RETURN_IF_FAILED(CategoryManager(reg));
    CATEGORYINFO info = {};
    info.catid = catid;
    info.lcid = 0x0409;
    ::lstrcpynW(info.szDescription, description, 128);  // at most 127 characters and the NUL
    return reg->RegisterCategories(1, &info);
}

HRESULT RegisterClassInCategory(const CLSID& clsid, const GUID& catid) noexcept {
    ComPtr<ICatRegister> reg;
    RETURN_IF_FAILED(CategoryManager(reg));
    CATID ids[1] = {catid};
    return reg->RegisterClassImplCategories(clsid, 1, ids);
}

HRESULT UnregisterClassFromCategory(const CLSID& clsid, const GUID& catid) noexcept {
    ComPtr<ICatRegister> reg;
    RETURN_IF_FAILED(CategoryManager(reg));
    CATID ids[1] = {catid};
    return reg->UnRegisterClassImplCategories(clsid, 1, ids);
}

}  // namespace common
