#pragma once
// What a loaded page needs from the player that shows it: the host's services (the
// external object, security decisions, other services of the client site), navigation,
// its windows and redrawing. The player implements it; a page forgets its owner when
// it is unloaded.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/ComPtr.h"

namespace pageplayer {

class PageOwner {
public:
    // Starts a navigation the way Navigate does (later, on the player's thread).
    virtual void NavigateFromPage(const std::wstring& url) = 0;
    // The host's object for window.external (IDocHostUIHandler::GetExternal), or null.
    virtual common::ComPtr<IDispatch> HostExternal() = 0;
    // The policy for a URL action (URLPOLICY_ALLOW, URLPOLICY_DISALLOW, ...): the host's
    // security manager decides, or the platform's zone settings when it defers.
    virtual DWORD UrlActionPolicy(const std::wstring& url, DWORD action, BYTE* context, DWORD contextSize) = 0;
    // The host security manager's QueryCustomPolicy; INET_E_DEFAULT_ACTION when there is none.
    virtual HRESULT HostCustomPolicy(const std::wstring& url, REFGUID key, BYTE** policy, DWORD* policySize,
                                     BYTE* context, DWORD contextSize) = 0;
    // A service of the host's client site.
    virtual HRESULT HostService(REFGUID service, REFIID iid, void** ppv) = 0;
    // The player's own browser interface iid: what a browser answers for the service
    // SID_SWebBrowserApp to the objects of its pages (they read LocationURL from it).
    virtual HRESULT BrowserObject(REFIID iid, void** ppv) = 0;
    // The window that owns the page's user interface (the view, or the player's own
    // message window when the player is not in place active).
    virtual HWND UiWindow() = 0;
    // The message-only window whose WM_TIMER messages drive the page's timers.
    virtual HWND TimerWindow() = 0;
    // The page's text changed (and its title, when titleChanged): redraw.
    virtual void PageChanged(bool titleChanged) = 0;

protected:
    ~PageOwner() = default;
};

}  // namespace pageplayer

namespace pageplayer {

// A call made on the page's thread by sending this message, with a PageThreadCall as
// lParam, to the owner's timer window; the message result is the call's HRESULT.
const UINT kRunOnPageThread = WM_APP + 0x51;
struct PageThreadCall {
    HRESULT (*function)(void* argument);
    void* argument;
};

}  // namespace pageplayer
