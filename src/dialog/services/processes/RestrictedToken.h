#pragma once
// A restricted copy of the host process's token for starting programs without the
// installer's elevation, and the calling thread's impersonation of it while the
// program is created. Every step that fails writes its diagnostic line and the
// launch goes on with what exists.
#include <windows.h>

#include "common/Handle.h"

class RestrictedToken {
public:
    RestrictedToken() = default;
    // Ends the impersonation (if any) and closes both tokens.
    ~RestrictedToken();
    RestrictedToken(const RestrictedToken&) = delete;
    RestrictedToken& operator=(const RestrictedToken&) = delete;

    // Opens the process token, makes the restricted copy (DISABLE_MAX_PRIVILEGE, plus
    // LUA_TOKEN from Windows Vista on) and impersonates it on the calling thread.
    void Build() noexcept;
    // The restricted token; null when it could not be made.
    HANDLE get() const noexcept { return restricted_.get(); }
    // Ends any impersonation of the calling thread.
    void Revert() noexcept;

private:
    common::UniqueHandle processToken_;
    common::UniqueHandle restricted_;
};
