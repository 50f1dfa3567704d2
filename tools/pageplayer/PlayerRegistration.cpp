#include "tools/pageplayer/PlayerRegistration.h"

#include <shlwapi.h>

#include <vector>

#include "common/Handle.h"
#include "common/HResult.h"
#include "tools/pageplayer/PlayerIds.h"

namespace pageplayer {

namespace {

const wchar_t kServerValue[] = L"InprocServer32";
const wchar_t kThreadingValue[] = L"ThreadingModel";

std::wstring ClassKey() { return std::wstring(L"CLSID\\") + kWebBrowserClassIdText; }

// A string value; false when it does not exist.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& out) {
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &bytes) != ERROR_SUCCESS)
        return false;
    buf[bytes / sizeof(wchar_t) < buf.size() ? bytes / sizeof(wchar_t) : buf.size() - 1] = L'\0';
    out = buf.data();
    return true;
}

HRESULT WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
    RETURN_IF_WIN32_ERROR(::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
    return S_OK;
}

HRESULT DeleteValue(HKEY key, const wchar_t* name) {
    LONG e = ::RegDeleteValueW(key, name);
    return e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(e);
}

HRESULT CreateKey(HKEY parent, const std::wstring& name, common::UniqueKey& key) {
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
    return S_OK;
}

}  // namespace

HRESULT PlayerRegistration::Register(const std::wstring& modulePath) {
    common::UniqueKey classKey;
    RETURN_IF_FAILED(CreateKey(HKEY_CLASSES_ROOT, ClassKey(), classKey));
    common::UniqueKey server;
    RETURN_IF_FAILED(CreateKey(classKey.get(), kServerValue, server));
    std::wstring current, threading;
    const bool hadServer = ReadString(server.get(), nullptr, current);
    const bool hadThreading = ReadString(server.get(), kThreadingValue, threading);
    common::UniqueKey saved;
    const bool alreadySaved =
        ::RegOpenKeyExW(classKey.get(), L"PagePlayerSaved", 0, KEY_READ, saved.put()) == ERROR_SUCCESS;
    if (!alreadySaved && !(hadServer && ::lstrcmpiW(current.c_str(), modulePath.c_str()) == 0)) {
        // The first registration keeps what the platform had, for unregistration.
        RETURN_IF_FAILED(CreateKey(classKey.get(), L"PagePlayerSaved", saved));
        if (hadServer) RETURN_IF_FAILED(WriteString(saved.get(), kServerValue, current));
        if (hadThreading) RETURN_IF_FAILED(WriteString(saved.get(), kThreadingValue, threading));
    }
    RETURN_IF_FAILED(WriteString(server.get(), nullptr, modulePath));
    return WriteString(server.get(), kThreadingValue, L"Apartment");
}

HRESULT PlayerRegistration::Unregister(const std::wstring& modulePath) {
    common::UniqueKey classKey;
    LONG e = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKey().c_str(), 0, KEY_READ | KEY_WRITE, classKey.put());
    if (e == ERROR_FILE_NOT_FOUND) return S_OK;
    RETURN_IF_WIN32_ERROR(e);
    common::UniqueKey saved;
    if (::RegOpenKeyExW(classKey.get(), L"PagePlayerSaved", 0, KEY_READ, saved.put()) == ERROR_SUCCESS) {
        std::wstring server, threading;
        const bool hadServer = ReadString(saved.get(), kServerValue, server);
        const bool hadThreading = ReadString(saved.get(), kThreadingValue, threading);
        saved.reset();
        common::UniqueKey serverKey;
        RETURN_IF_FAILED(CreateKey(classKey.get(), kServerValue, serverKey));
        RETURN_IF_FAILED(hadServer ? WriteString(serverKey.get(), nullptr, server) : DeleteValue(serverKey.get(), nullptr));
        RETURN_IF_FAILED(hadThreading ? WriteString(serverKey.get(), kThreadingValue, threading)
                                      : DeleteValue(serverKey.get(), kThreadingValue));
        LONG d = static_cast<LONG>(::SHDeleteKeyW(classKey.get(), L"PagePlayerSaved"));
        if (d != ERROR_SUCCESS && d != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(d);
        return S_OK;
    }
    common::UniqueKey serverKey;
    if (::RegOpenKeyExW(classKey.get(), kServerValue, 0, KEY_READ, serverKey.put()) != ERROR_SUCCESS) return S_OK;
    std::wstring current;
    const bool ours = ReadString(serverKey.get(), nullptr, current) && ::lstrcmpiW(current.c_str(), modulePath.c_str()) == 0;
    serverKey.reset();
    if (!ours) return S_OK;  // someone else's registration: left alone
    LONG d = static_cast<LONG>(::SHDeleteKeyW(classKey.get(), kServerValue));
    return d == ERROR_SUCCESS || d == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(d);
}

}  // namespace pageplayer
