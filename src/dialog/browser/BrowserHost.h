#pragma once
// The browser host of the installer window: the hosted WebBrowser controls, the host
// identity with its site objects, and the page-facing script bridge.
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>

namespace stagehand {   // the helpers' namespace of stagehand

class PageOffer {             // the offer wrapper's page-facing side; "no offer" until the offer work lands
public: virtual void ShowOffer(int first, int second) = 0; virtual void HideOffer() = 0;
        virtual int CheckOffer() = 0;
protected: ~PageOffer() = default; };

class BrowserHostOwner {      // implemented by CMainDlg
public: virtual HWND FrameWindow() const = 0;
        virtual int BringToFront() = 0;          // 0 when the window became the foreground window, else 1
        virtual int BringToFrontTopmost() = 0;
        virtual PageOffer& Offer() = 0;
        virtual void OnHostReleased() = 0;       // the host identity's last reference went: delete the window object
protected: ~BrowserHostOwner() = default; };

class BrowserHost {
public: explicit BrowserHost(BrowserHostOwner& owner); ~BrowserHost();
        HRESULT CreateMainBrowser(HWND frame);                  // WM_CREATE step: host child over the client area
        LRESULT CreateQueueBrowser(HWND frame, const RECT& inner); // WM_DLG_ENABLEQUEUE handler
        HRESULT NavigateMain(BSTR url); HRESULT NavigateQueue(BSTR url);   // engine thread
        HRESULT SetPendingScript(BSTR name, BSTR argument, BSTR target);
        LRESULT RunPendingScript();                             // WM_DLG_CALLSCRIPT handler
        HWND MainHostWindow() const; HWND QueueHostWindow() const;
        IWebBrowser2* MainBrowser() const;                      // not AddRef'd
        void Close();                                           // releases browsers and sink (window destruction)
private:
        BrowserHostOwner& owner_;
};

HWND CreateAxHostWindow(HWND parent, DWORD style, const RECT& rect, REFCLSID control); // also used by TaskNotifyWnd

}  // namespace stagehand
