#include "dialog/services/processes/RestrictedToken.h"

#include <string>

#include "common/DebugLog.h"
#include "common/LibraryLoad.h"

namespace {
// "<what> Error: 0x<code>" and a line break, as one message.
void TokenError(const char* what, DWORD code) noexcept {
    try {
        common::DebugOut((what + common::ErrorSuffix(code) + "\n").c_str());
    } catch (...) {
        common::DebugOut(what);
    }
}

// Windows Vista or later: major version above 5.
bool VistaOrLater() noexcept {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExW(&info)) return false;
    return info.dwMajorVersion > 5;
}

#ifndef LUA_TOKEN
#define LUA_TOKEN 0x4
#endif

typedef BOOL(WINAPI* ImpersonateFn)(HANDLE);
}  // namespace

RestrictedToken::~RestrictedToken() { Revert(); }

void RestrictedToken::Build() noexcept {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, processToken_.put()))
        TokenError("OpenProcessToken", ::GetLastError());

    DWORD flags = DISABLE_MAX_PRIVILEGE;
    bool lua = VistaOrLater();
    if (lua)
        flags |= LUA_TOKEN;
    else
        common::DebugOut("Older than Vista found");

    // A LUA token is one whose Administrators membership only denies. Systems that
    // ignore the LUA flag would leave the program in Administrators, so that group is
    // also named for deny-only (on those that honour it this changes nothing).
    SID_AND_ATTRIBUTES disable = {};
    BYTE adminSid[SECURITY_MAX_SID_SIZE];
    DWORD adminSize = sizeof adminSid;
    DWORD disableCount = 0;
    if (lua && ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminSid, &adminSize)) {
        disable.Sid = adminSid;
        disableCount = 1;
    }

    if (!::CreateRestrictedToken(processToken_.get(), flags, disableCount, disableCount ? &disable : nullptr, 0,
                                 nullptr, 0, nullptr, restricted_.put()))
        TokenError("CreateRestrictedToken", ::GetLastError());

    // Looked up at run time: the call is not present on every system.
    common::UniqueModule advapi(common::LoadSystemLibrary(L"advapi32.dll"));
    auto impersonate = advapi ? reinterpret_cast<ImpersonateFn>(reinterpret_cast<void*>(
                                    ::GetProcAddress(advapi.get(), "ImpersonateLoggedOnUser")))
                              : nullptr;
    if (!impersonate) {
        common::DebugOut("lpfnImpersonateLoggedOnUser == 0");
        return;
    }
    if (!impersonate(restricted_.get())) TokenError("ImpersonateLoggedOnUser", ::GetLastError());
}

void RestrictedToken::Revert() noexcept {
    // Ends any impersonation of this thread; nothing to do when there is none.
    BOOL reverted = ::RevertToSelf();
    (void)reverted;
}
