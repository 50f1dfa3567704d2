#pragma once
// The main window's web browsers and what they see of the window: the main browser
// over the window's client area and, on request, the narrow queue browser beside it;
// the host objects the browsers and their pages talk to (client site, service
// provider, security manager, UI handler and the window.external bridge), all sharing
// one reference count; the page-completion flags the browser events set; navigation
// that waits for the page; and the engine's pending script call into a page.
//
// Threads: the browsers, their events and the host objects live on the window's UI
// thread; NavigateMain, NavigateQueue and SetPendingScript are called on the engine's
// thread, RunPendingScript and the creation calls on the UI thread.
#include <windows.h>
#include <exdisp.h>

#include <memory>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "dialog/browser/AxHostWindow.h"
#include "dialog/browser/BrowserHostOwner.h"
#include "dialog/browser/PageOffer.h"

namespace stagehand {

class HostIdentity;
class NavigationFlags;
class WbEventSink;

class BrowserHost {
public:
    explicit BrowserHost(BrowserHostOwner& owner);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // WM_CREATE step of the main window: a host child over the whole client area with
    // the WebBrowser control in it, its events connected and the host's client site
    // installed. Fails when the control could not be created.
    HRESULT CreateMainBrowser(HWND frame);
    // WM_DLG_ENABLEQUEUE handler: the queue browser left of the main browser inside the
    // skin's inner rectangle. The message result: 0.
    LRESULT CreateQueueBrowser(HWND frame, const RECT& inner);

    // Navigates the main browser and waits until its document is complete. E_FAIL when
    // there is no main browser (or the window went away while waiting).
    HRESULT NavigateMain(BSTR url);
    // Navigates the queue browser without waiting. E_FAIL when there is none.
    HRESULT NavigateQueue(BSTR url);

    // Keeps copies of the script call that RunPendingScript makes.
    HRESULT SetPendingScript(BSTR name, BSTR argument, BSTR target);
    // WM_DLG_CALLSCRIPT handler: runs name(argument); in the target browser ("main" or
    // "queue"). 0 when the page ran it, -1 for every failure.
    LRESULT RunPendingScript();

    // The page's "showoffer": waits until the main browser has completed a navigation,
    // shows the offer and writes the main browser's address to the debug output.
    // Always false (the page's result).
    bool ShowOfferWhenLoaded(int first, int second);

    HWND MainHostWindow() const;
    HWND QueueHostWindow() const;
    IWebBrowser2* MainBrowser() const;   // not AddRef'd
    IWebBrowser2* QueueBrowser() const;  // not AddRef'd

    // The host identity (not AddRef'd): the IUnknown every host object shares.
    IUnknown* Identity() const;
    BrowserHostOwner& Owner() const { return owner_; }

    // Window destruction: disconnects the events and releases the browsers; a
    // NavigateMain still waiting for its page returns. May be called more than once.
    void Close();

private:
    HWND CreateBrowserWindow(HWND frame, const RECT& rect, common::ComPtr<IWebBrowser2>& browser);
    common::ComPtr<IWebBrowser2> Browser(bool queue) const;

    BrowserHostOwner& owner_;
    std::shared_ptr<NavigationFlags> flags_;
    std::unique_ptr<HostIdentity> identity_;

    HWND mainHost_ = nullptr;
    HWND queueHost_ = nullptr;
    // Guards the two browser pointers, which the engine's thread reads while the UI
    // thread may release them.
    mutable common::CriticalSection browsersLock_;
    common::ComPtr<IWebBrowser2> mainBrowser_;
    common::ComPtr<IWebBrowser2> queueBrowser_;
    common::ComPtr<WbEventSink> sink_;
    DWORD sinkCookie_ = 0;

    common::Bstr scriptName_;
    common::Bstr scriptArgument_;
    common::Bstr scriptTarget_;
};

}  // namespace stagehand
