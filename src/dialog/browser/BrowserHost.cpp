#include "dialog/browser/BrowserHost.h"

#include <mshtml.h>
#include <ocidl.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <string>
#include <utility>

#include "common/DebugLog.h"
#include "common/HResult.h"
#include "common/Variant.h"
#include "dialog/browser/HostIdentity.h"
#include "dialog/browser/NavigationFlags.h"
#include "dialog/browser/WbEventSink.h"

namespace stagehand {

namespace {

// The platform's WebBrowser control, {8856F961-340A-11D0-A96B-00C04FD705A2}.
const CLSID kWebBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// The queue browser's column: it ends at x = 139, and the main browser starts one pixel
// further right.
const int kQueueRight = 139;
const int kMainLeftOfQueue = 140;

// How long "showoffer" waits for the first completed navigation before it shows the
// offer anyway.
const DWORD kShowOfferWaitMs = 30000;

HRESULT Navigate(IWebBrowser2* browser, BSTR url) noexcept {
    // No flags, no target frame, no post data, no headers.
    common::Variant flags, target, postData, headers;
    return browser->Navigate(url, flags.get(), target.get(), postData.get(), headers.get());
}

// A copy of value in field; the same BSTR is left alone and a null one clears the field.
HRESULT CopyField(common::Bstr& field, BSTR value) noexcept {
    if (field.get() == value) return S_OK;
    if (!value) {
        field.reset();
        return S_OK;
    }
    BSTR copy = ::SysAllocStringLen(value, ::SysStringLen(value));
    if (!copy) return E_OUTOFMEMORY;
    field.reset(copy);
    return S_OK;
}

bool TargetIs(BSTR target, const wchar_t* name) noexcept {
    common::Bstr expected(name);
    if (!expected) return false;
    return ::VarBstrCmp(target, expected.get(), LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_EQ);
}

// Runs code in the page of browser: Document -> IHTMLDocument2 -> Script ->
// IHTMLWindow2 -> execScript. The script's own result is dropped.
HRESULT ExecScript(IWebBrowser2* browser, const std::wstring& code) noexcept {
    common::ComPtr<IDispatch> document;
    RETURN_IF_FAILED(browser->get_Document(document.put()));
    RETURN_HR_IF(E_FAIL, !document);
    common::ComPtr<IHTMLDocument2> html;
    RETURN_IF_FAILED(document.As(html));
    common::ComPtr<IDispatch> script;
    RETURN_IF_FAILED(html->get_Script(script.put()));
    RETURN_HR_IF(E_FAIL, !script);
    common::ComPtr<IHTMLWindow2> window;
    RETURN_IF_FAILED(script.As(window));
    common::Bstr text(code.c_str(), static_cast<UINT>(code.size()));
    common::Bstr language(L"javascript");
    RETURN_HR_IF(E_OUTOFMEMORY, !text || !language);
    common::Variant result;
    return window->execScript(text.get(), language.get(), result.put());
}

}  // namespace

BrowserHost::BrowserHost(BrowserHostOwner& owner)
    : owner_(owner), flags_(std::make_shared<NavigationFlags>()), identity_(new HostIdentity(*this, owner)) {}

BrowserHost::~BrowserHost() { Close(); }

HWND BrowserHost::CreateBrowserWindow(HWND frame, const RECT& rect, common::ComPtr<IWebBrowser2>& browser) {
    HWND host = CreateAxHostWindow(frame, WS_CHILD | WS_VISIBLE, rect, kWebBrowserClsid);
    if (!host) return nullptr;
    HRESULT hr = QueryAxHostControl(host, IID_IWebBrowser2, browser.put_void());
    if (FAILED(hr)) {
        LOG_IF_FAILED(hr);
        browser.reset();
    }
    return host;
}

HRESULT BrowserHost::CreateMainBrowser(HWND frame) {
    if (mainHost_) return S_FALSE;  // created already
    RECT client{};
    RETURN_LAST_ERROR_IF(!::GetClientRect(frame, &client));
    common::ComPtr<IWebBrowser2> browser;
    HWND host = CreateBrowserWindow(frame, client, browser);
    if (!host) {
        DWORD error = ::GetLastError();
        return error ? static_cast<HRESULT>(error) : E_FAIL;
    }
    mainHost_ = host;
    ::SetWindowPos(host, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
                   SWP_NOZORDER);
    RETURN_HR_IF(E_NOINTERFACE, !browser);
    {
        common::ScopedLock guard(browsersLock_);
        mainBrowser_ = browser;
    }

    // The page-completion events.
    sink_ = new (std::nothrow) WbEventSink(flags_);
    common::ComPtr<IConnectionPointContainer> container;
    common::ComPtr<IConnectionPoint> point;
    HRESULT hr = sink_ ? browser.As(container) : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(__uuidof(DWebBrowserEvents2), point.put());
    if (SUCCEEDED(hr)) hr = point->Advise(static_cast<IDispatch*>(sink_.get()), &sinkCookie_);
    if (FAILED(hr)) {
        LOG_IF_FAILED(hr);
        sinkCookie_ = 0;
    }

    // The host's client site replaces the host window's own: from now on the browser
    // reaches the UI handler, the security manager and window.external through it.
    common::ComPtr<IOleObject> ole;
    RETURN_IF_FAILED(browser.As(ole));
    identity_->Hold();
    hr = ole->SetClientSite(&identity_->ClientSite());
    identity_->Unhold();
    return hr;
}

LRESULT BrowserHost::CreateQueueBrowser(HWND frame, const RECT& inner) {
    const int height = std::max(0L, inner.bottom - inner.top);
    const int queueWidth = std::max(0L, kQueueRight - inner.left);
    if (!queueHost_) {
        // A second request only lays the two browsers out again.
        RECT rect{inner.left, inner.top, inner.left + queueWidth, inner.top + height};
        common::ComPtr<IWebBrowser2> browser;
        queueHost_ = CreateBrowserWindow(frame, rect, browser);
        if (!queueHost_) {
            LOG_IF_FAILED(static_cast<HRESULT>(::GetLastError()));
            return 0;
        }
        common::ScopedLock guard(browsersLock_);
        queueBrowser_ = browser;
    }
    ::MoveWindow(queueHost_, inner.left, inner.top, queueWidth, height, FALSE);
    if (mainHost_) {
        const int mainLeft = inner.left + kMainLeftOfQueue;
        ::MoveWindow(mainHost_, mainLeft, inner.top, std::max(0L, inner.right - mainLeft), height, FALSE);
    }
    return 0;
}

HRESULT BrowserHost::NavigateMain(BSTR url) {
    common::ComPtr<IWebBrowser2> browser = Browser(false);
    if (!browser) return E_FAIL;
    // The wait below reads only the shared flags: the window may go away meanwhile.
    std::shared_ptr<NavigationFlags> flags = flags_;

    const wchar_t* text = common::BstrText(url);
    if (std::wcsstr(text, L"installcomplete2"))
        owner_.BringToFrontTopmost();
    else if (std::wcsstr(text, L"installcomplete"))
        owner_.BringToFront();

    flags->SetDocumentCompleted(false);
    HRESULT hr = Navigate(browser.get(), url);
    browser.reset();
    if (hr != S_OK) {
        // Reported as done: the engine goes on with its script.
        LOG_IF_FAILED(hr);
        return S_OK;
    }
    for (;;) {
        ::Sleep(0);
        if (flags->DocumentCompleted()) return S_OK;
        if (flags->Closed()) return E_FAIL;
    }
}

HRESULT BrowserHost::NavigateQueue(BSTR url) {
    common::ComPtr<IWebBrowser2> browser = Browser(true);
    if (!browser) return E_FAIL;
    return Navigate(browser.get(), url);
}

HRESULT BrowserHost::SetPendingScript(BSTR name, BSTR argument, BSTR target) {
    RETURN_IF_FAILED(CopyField(scriptName_, name));
    RETURN_IF_FAILED(CopyField(scriptArgument_, argument));
    return CopyField(scriptTarget_, target);
}

LRESULT BrowserHost::RunPendingScript() {
    common::ComPtr<IWebBrowser2> browser;
    if (TargetIs(scriptTarget_.get(), L"main"))
        browser = Browser(false);
    else if (TargetIs(scriptTarget_.get(), L"queue"))
        browser = Browser(true);
    if (!browser) return -1;
    HRESULT hr = common::NoThrow([&] {
        // The argument goes in unchanged: a string carries its own quote marks.
        std::wstring code = scriptName_.c_str();
        code += L"(";
        code += scriptArgument_.c_str();
        code += L");";
        return ExecScript(browser.get(), code);
    });
    return hr == S_OK ? 0 : -1;
}

bool BrowserHost::ShowOfferWhenLoaded(int first, int second) {
    std::shared_ptr<NavigationFlags> flags = flags_;
    // The flag is set by the main browser's first completed navigation, an event of this
    // very thread: until then the thread's messages are handled here, so the event can
    // come (a page may ask for the offer while its first load is still running).
    const DWORD start = ::GetTickCount();
    while (!flags->NavigateCompleted() && !flags->Closed() && ::GetTickCount() - start < kShowOfferWaitMs) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the thread's own loop.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (flags->Closed()) return false;  // the window went away meanwhile
    owner_.Offer().ShowOffer(first, second);

    if (common::ComPtr<IWebBrowser2> browser = Browser(false)) {
        common::Bstr location;
        HRESULT hr = browser->get_LocationURL(location.put());
        if (SUCCEEDED(hr))
            common::DebugOut(location.c_str());
        else
            LOG_IF_FAILED(hr);
    }
    return false;
}

HWND BrowserHost::MainHostWindow() const { return mainHost_; }

HWND BrowserHost::QueueHostWindow() const { return queueHost_; }

IWebBrowser2* BrowserHost::MainBrowser() const {
    common::ScopedLock guard(browsersLock_);
    return mainBrowser_.get();
}

IWebBrowser2* BrowserHost::QueueBrowser() const {
    common::ScopedLock guard(browsersLock_);
    return queueBrowser_.get();
}

IUnknown* BrowserHost::Identity() const { return identity_.get(); }

common::ComPtr<IWebBrowser2> BrowserHost::Browser(bool queue) const {
    common::ScopedLock guard(browsersLock_);
    return queue ? queueBrowser_ : mainBrowser_;
}

void BrowserHost::Close() {
    // Released when this function ends, after the last use of this object: a release
    // may end in the owner deleting itself, and this host with it.
    common::ComPtr<IWebBrowser2> main, queue;
    common::ComPtr<WbEventSink> sink;
    flags_->SetClosed();
    {
        common::ScopedLock guard(browsersLock_);
        main = std::move(mainBrowser_);
        queue = std::move(queueBrowser_);
    }
    sink = std::move(sink_);
    const DWORD cookie = std::exchange(sinkCookie_, 0);
    mainHost_ = nullptr;
    queueHost_ = nullptr;
    if (main && cookie) {
        common::ComPtr<IConnectionPointContainer> container;
        common::ComPtr<IConnectionPoint> point;
        HRESULT hr = main.As(container);
        if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(__uuidof(DWebBrowserEvents2), point.put());
        if (SUCCEEDED(hr)) hr = point->Unadvise(cookie);
        LOG_IF_FAILED(hr);
    }
}

}  // namespace stagehand
