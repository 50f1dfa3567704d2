#pragma once
// Puts the page player in the WebBrowser's place in this machine's (Wine prefix's)
// registry, and takes it out again: HKCR\CLSID\{8856F961-...}\InprocServer32 names the
// player's path with ThreadingModel Apartment. What was there before is kept under the
// class id's "PagePlayerSaved" key and written back on unregistration.
#include <windows.h>

#include <string>

namespace pageplayer {

class PlayerRegistration {
public:
    static HRESULT Register(const std::wstring& modulePath);
    // Restores the saved registration; without one, removes InprocServer32 when it
    // names this player.
    static HRESULT Unregister(const std::wstring& modulePath);
};

}  // namespace pageplayer
