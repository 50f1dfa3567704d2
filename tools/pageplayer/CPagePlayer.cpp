#include "tools/pageplayer/CPagePlayer.h"

#include <exdispid.h>
#include <mshtmhst.h>
#include <mshtmdid.h>
#include <olectl.h>
#include <urlmon.h>

#include <new>

#include "common/Bstr.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "common/Variant.h"
#include "tools/pageplayer/EventLog.h"
#include "tools/pageplayer/HtmlParser.h"
#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/PageAddress.h"
#include "tools/pageplayer/PlayerIds.h"
#include "tools/pageplayer/UrlPolicy.h"

namespace pageplayer {

namespace {

const wchar_t kMessageClass[] = L"PagePlayerMessages";
// Posted by Navigate: the request waiting in pendingUrl_ is due.
const UINT kNavigateMessage = WM_APP + 0x50;
// Retries a navigation that arrived while page script was running further up the stack.
const UINT_PTR kRetryTimer = 1;

// The platform's WebBrowser type library (SHDocVw), for late-bound IWebBrowser2 calls.
const GUID kBrowserLibrary = {0xEAB22AC0, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

HRESULT ReadPage(const std::wstring& path, std::string& bytes) {
    common::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return INET_E_RESOURCE_NOT_FOUND;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return INET_E_DATA_NOT_AVAILABLE;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return INET_E_DATA_NOT_AVAILABLE;
    bytes.resize(read);
    return S_OK;
}

// The page shown for an address that could not be loaded.
DomNode::Ptr ErrorPage(const std::wstring& href) {
    std::wstring escaped;
    for (wchar_t c : href) {
        if (c == L'<')
            escaped += L"&lt;";
        else if (c == L'&')
            escaped += L"&amp;";
        else
            escaped += c;
    }
    return HtmlParser::Parse(L"<html><head><title>The page cannot be displayed</title></head><body><p>" + escaped +
                             L"</p></body></html>");
}

}  // namespace

CPagePlayer::CPagePlayer() : events_(this) {}

CPagePlayer::~CPagePlayer() {
    Unload();
    view_.Destroy();
    events_.Clear();
    if (HWND w = messageWindow_) {
        messageWindow_ = nullptr;
        ::SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        if (::GetWindowThreadProcessId(w, nullptr) == ::GetCurrentThreadId())
            ::DestroyWindow(w);
        else
            ::PostMessageW(w, WM_CLOSE, 0, 0);
    }
}

HRESULT CPagePlayer::FinalConstruct() noexcept {
    thread_ = ::GetCurrentThreadId();
    HINSTANCE instance = ModuleInstance();
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!::GetClassInfoExW(instance, kMessageClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &CPagePlayer::MessageWindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kMessageClass;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return common::HResultFromLastError();
    }
    messageWindow_ = ::CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    RETURN_LAST_ERROR_IF(!messageWindow_);
    return S_OK;
}

// --- the message window: navigation requests, timers, calls from other threads --------

LRESULT CALLBACK CPagePlayer::MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<CPagePlayer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg != WM_NCCREATE) {
        try {
            return self->OnMessage(msg, wp, lp);
        } catch (...) {
            return 0;  // an allocation failure drops this one message
        }
    }
    if (msg == WM_TIMER) ::KillTimer(hwnd, wp);  // a timer of a player that is gone
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CPagePlayer::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // Page script run from here may make the host let go of the player.
    common::ComPtr<IDispatch> keepAlive = Self();
    switch (msg) {
    case kNavigateMessage:
        OnNavigateRequest();
        return 0;
    case WM_TIMER:
        if (wp == kRetryTimer) {
            ::KillTimer(messageWindow_, kRetryTimer);
            OnNavigateRequest();
        } else if (!page_ || !page_->OnTimer(wp)) {
            ::KillTimer(messageWindow_, wp);
        }
        return 0;
    case kRunOnPageThread: {
        auto* call = reinterpret_cast<PageThreadCall*>(lp);
        return call ? static_cast<LRESULT>(call->function(call->argument)) : static_cast<LRESULT>(E_POINTER);
    }
    default:
        return ::DefWindowProcW(messageWindow_, msg, wp, lp);
    }
}

// --- navigation -------------------------------------------------------------------------

HRESULT CPagePlayer::RequestNavigation(const std::wstring& url) {
    if (!messageWindow_) return E_UNEXPECTED;
    {
        common::ScopedLock guard(lock_);
        pendingUrl_ = url;
        ++serial_;
        busy_ = true;
        readyState_ = READYSTATE_LOADING;
    }
    // The page loads on the player's thread once the caller has returned, as in a browser.
    RETURN_LAST_ERROR_IF(!::PostMessageW(messageWindow_, kNavigateMessage, 0, 0));
    return S_OK;
}

void CPagePlayer::OnNavigateRequest() {
    std::wstring url;
    LONG serial = 0;
    {
        common::ScopedLock guard(lock_);
        if (!busy_) return;
        url = pendingUrl_;
        serial = serial_;
    }
    if (loading_ || (page_ && page_->InScript())) {
        // A host dialog opened by page script is pumping messages: load once that
        // script has returned, never underneath it.
        ::SetTimer(messageWindow_, kRetryTimer, 20, nullptr);
        return;
    }
    LoadPage(url, serial);
}

void CPagePlayer::LoadPage(const std::wstring& url, LONG serial) {
    common::ComPtr<IDispatch> keepAlive = Self();  // sinks may release the player during events
    loading_ = true;
    struct LoadingFlag {
        bool& flag;
        ~LoadingFlag() { flag = false; }
    } loadingFlag{loading_};

    // The request is done (unless a newer one came meanwhile).
    auto finish = [this, serial]() {
        common::ScopedLock guard(lock_);
        if (serial != serial_) return;
        busy_ = false;
        readyState_ = page_ ? READYSTATE_COMPLETE : READYSTATE_UNINITIALIZED;
    };
    const PageAddress address = PageAddress::Resolve(url, page_ ? &page_->Address() : nullptr);
    if (address.IsScript()) {
        if (page_) page_->Execute(address.ScriptCode());
        finish();
        return;
    }
    const std::wstring href = address.Href();
    EventLog::Write(L"navigate", href);

    HRESULT status = S_OK;
    DomNode::Ptr root;
    if (address.IsBlank()) {
        root = DomNode::Element(L"#document");
    } else if (address.IsFile()) {
        std::string bytes;
        status = ReadPage(address.Path(), bytes);
        if (SUCCEEDED(status)) root = HtmlParser::Parse(HtmlParser::DecodeBytes(bytes));
    } else {
        status = INET_E_RESOURCE_NOT_FOUND;  // only local pages are played
    }
    if (FAILED(status)) {
        EventLog::Write(L"navigate-error", href + L" " + EventLog::Hex(static_cast<DWORD>(status)));
        if (FireNavigateError(href, status)) {
            finish();  // the host cancelled: the old page stays
            return;
        }
        root = ErrorPage(href);  // what a browser shows in its place, without script
    }

    Unload();
    auto page = Page::Create(*this, address, root);
    if (!page) {
        finish();
        return;
    }
    page_ = page;
    view_.SetPage(page);
    {
        common::ScopedLock guard(lock_);
        locationUrl_ = href;
        locationName_ = page->Title().empty() ? href : page->Title();
        if (serial == serial_) readyState_ = READYSTATE_INTERACTIVE;
    }
    // The navigation is committed before the page's script runs, so script that calls
    // the host already finds it completed.
    FireUrlEvent(DISPID_NAVIGATECOMPLETE2, href);
    if (page != page_) return finish();  // a sink closed the player meanwhile
    FireTitleChange(page->Title());
    page->Run(SUCCEEDED(status) && ScriptAllowed(href));
    if (page != page_) return finish();
    {
        common::ScopedLock guard(lock_);
        locationName_ = page->Title().empty() ? href : page->Title();
    }
    finish();
    view_.Invalidate();
    FireUrlEvent(DISPID_DOCUMENTCOMPLETE, href);
}

bool CPagePlayer::ScriptAllowed(const std::wstring& url) {
    // The host's ambient download control may switch script off, as for a browser.
    common::ComPtr<IDispatch> ambient;
    if (clientSite_ && SUCCEEDED(clientSite_.As(ambient))) {
        common::Variant flags;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                      &none, flags.get(), nullptr, nullptr)) &&
            SUCCEEDED(flags.ChangeType(VT_I4)) && (V_I4(flags.get()) & DLCTL_NO_SCRIPTS)) {
            EventLog::Write(L"refused", L"script (download control) " + url);
            return false;
        }
    }
    if (UrlActionPolicy(url, URLACTION_SCRIPT_RUN, nullptr, 0) == URLPOLICY_ALLOW) return true;
    EventLog::Write(L"refused", L"action " + EventLog::Hex(URLACTION_SCRIPT_RUN) + L" " + url);
    return false;
}

void CPagePlayer::Unload() noexcept {
    if (auto page = std::move(page_)) page->Unload();
    view_.SetPage(nullptr);
}

void CPagePlayer::FireUrlEvent(DISPID id, const std::wstring& url) {
    common::Variant address(url.c_str());
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;  // URL
    args[0].pvarVal = address.get();
    args[1].vt = VT_DISPATCH;  // pDisp: the browser itself
    args[1].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params = {args, nullptr, 2, 0};
    events_.Fire(id, &params);
}

bool CPagePlayer::FireNavigateError(const std::wstring& url, HRESULT status) {
    common::Variant address(url.c_str());
    common::Variant frame(L"");
    common::Variant code(static_cast<long>(status));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5];
    args[0].vt = VT_BYREF | VT_BOOL;  // Cancel
    args[0].pboolVal = &cancel;
    args[1].vt = VT_BYREF | VT_VARIANT;  // StatusCode
    args[1].pvarVal = code.get();
    args[2].vt = VT_BYREF | VT_VARIANT;  // TargetFrameName
    args[2].pvarVal = frame.get();
    args[3].vt = VT_BYREF | VT_VARIANT;  // URL
    args[3].pvarVal = address.get();
    args[4].vt = VT_DISPATCH;  // pDisp
    args[4].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params = {args, nullptr, 5, 0};
    events_.Fire(DISPID_NAVIGATEERROR, &params);
    return cancel != VARIANT_FALSE;
}

void CPagePlayer::FireTitleChange(const std::wstring& title) {
    common::Variant text(title.c_str());
    DISPPARAMS params = {text.get(), nullptr, 1, 0};
    events_.Fire(DISPID_TITLECHANGE, &params);
}

// --- PageOwner ----------------------------------------------------------------------------

void CPagePlayer::NavigateFromPage(const std::wstring& url) { LOG_IF_FAILED(RequestNavigation(url)); }

common::ComPtr<IDispatch> CPagePlayer::HostExternal() {
    common::ComPtr<IDocHostUIHandler> handler;
    if (!clientSite_ || FAILED(clientSite_.As(handler))) return nullptr;
    // Hosts hand out all kinds of objects here (some their UI handler itself, answering
    // IDispatch through QueryInterface): only QueryInterface is trusted to be callable.
    common::ComPtr<IDispatch> given;
    if (FAILED(handler->GetExternal(given.put())) || !given) return nullptr;
    common::ComPtr<IDispatch> external;
    if (FAILED(given->QueryInterface(IID_IDispatch, external.put_void()))) return nullptr;
    return external;
}

DWORD CPagePlayer::UrlActionPolicy(const std::wstring& url, DWORD action, BYTE* context, DWORD contextSize) {
    return UrlPolicy::Decide(clientSite_.get(), url, action, context, contextSize);
}

HRESULT CPagePlayer::HostCustomPolicy(const std::wstring& url, REFGUID key, BYTE** policy, DWORD* policySize,
                                      BYTE* context, DWORD contextSize) {
    auto manager = UrlPolicy::HostManager(clientSite_.get());
    if (!manager) return INET_E_DEFAULT_ACTION;
    return manager->QueryCustomPolicy(url.c_str(), key, policy, policySize, context, contextSize, 0);
}

HRESULT CPagePlayer::HostService(REFGUID service, REFIID iid, void** ppv) {
    common::ComPtr<IServiceProvider> services;
    if (!clientSite_ || FAILED(clientSite_.As(services))) return E_NOINTERFACE;
    return services->QueryService(service, iid, ppv);
}

HRESULT CPagePlayer::BrowserObject(REFIID iid, void** ppv) {
    return static_cast<IWebBrowser2*>(this)->QueryInterface(iid, ppv);
}

HWND CPagePlayer::UiWindow() { return view_.hwnd() ? view_.hwnd() : messageWindow_; }

void CPagePlayer::PageChanged(bool titleChanged) {
    view_.Invalidate();
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    if (titleChanged && page_) {
        {
            common::ScopedLock guard(lock_);
            locationName_ = page_->Title().empty() ? locationUrl_ : page_->Title();
        }
        FireTitleChange(page_->Title());
    }
}

// --- IDispatch ------------------------------------------------------------------------------

HRESULT CPagePlayer::BrowserTypeInfo(ITypeInfo** info) {
    if (!typeInfo_) {
        common::ComPtr<ITypeLib> library;
        RETURN_IF_FAILED(::LoadRegTypeLib(kBrowserLibrary, 1, 1, LOCALE_NEUTRAL, library.put()));
        RETURN_IF_FAILED(library->GetTypeInfoOfGuid(__uuidof(IWebBrowser2), typeInfo_.put()));
    }
    return typeInfo_.CopyTo(info);
}

STDMETHODIMP CPagePlayer::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    common::ComPtr<ITypeInfo> info;
    *count = SUCCEEDED(BrowserTypeInfo(info.put())) ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return BrowserTypeInfo(info);
}

STDMETHODIMP CPagePlayer::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    common::ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(BrowserTypeInfo(info.put()));
    return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CPagePlayer::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excep, UINT* argErr) {
    common::ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(BrowserTypeInfo(info.put()));
    return info->Invoke(static_cast<IWebBrowser2*>(this), id, flags, params, result, excep, argErr);
}

// --- IWebBrowser2 -----------------------------------------------------------------------------

STDMETHODIMP CPagePlayer::Navigate(BSTR URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    try {
        return RequestNavigation(common::BstrText(URL));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CPagePlayer::Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                    VARIANT* Headers) {
    if (!URL) return E_INVALIDARG;
    const VARIANT* v = URL;
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if (v->vt == VT_BSTR) return Navigate(v->bstrVal, Flags, TargetFrameName, PostData, Headers);
    if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) return Navigate(*v->pbstrVal, Flags, TargetFrameName, PostData, Headers);
    return E_INVALIDARG;
}

STDMETHODIMP CPagePlayer::Refresh() {
    try {
        std::wstring url;
        {
            common::ScopedLock guard(lock_);
            url = locationUrl_;
        }
        return url.empty() ? S_OK : RequestNavigation(url);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CPagePlayer::Refresh2(VARIANT*) { return Refresh(); }

STDMETHODIMP CPagePlayer::Stop() {
    common::ScopedLock guard(lock_);
    if (busy_) {
        ++serial_;  // the posted request finds itself superseded
        pendingUrl_.clear();
        busy_ = false;
        readyState_ = locationUrl_.empty() ? READYSTATE_UNINITIALIZED : READYSTATE_COMPLETE;
    }
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Application(IDispatch** ppDisp) {
    if (!ppDisp) return E_POINTER;
    *ppDisp = Self().Detach();
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Document(IDispatch** ppDisp) {
    if (!ppDisp) return E_POINTER;
    *ppDisp = nullptr;
    if (::GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    if (!page_) return S_FALSE;  // nothing loaded yet
    *ppDisp = page_->DocumentObject().Detach();
    return *ppDisp ? S_OK : S_FALSE;
}

STDMETHODIMP CPagePlayer::get_Type(BSTR* Type) { return common::AllocBstr(L"HTML Document", Type); }

STDMETHODIMP CPagePlayer::get_Left(LONG* pl) {
    if (!pl) return E_POINTER;
    *pl = position_.left;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Top(LONG* pl) {
    if (!pl) return E_POINTER;
    *pl = position_.top;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Width(LONG* pl) {
    if (!pl) return E_POINTER;
    *pl = position_.right - position_.left;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Height(LONG* pl) {
    if (!pl) return E_POINTER;
    *pl = position_.bottom - position_.top;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_LocationName(BSTR* LocationName) {
    common::ScopedLock guard(lock_);
    return common::AllocBstr(locationName_.c_str(), LocationName);
}

STDMETHODIMP CPagePlayer::get_LocationURL(BSTR* LocationURL) {
    common::ScopedLock guard(lock_);
    return common::AllocBstr(locationUrl_.c_str(), LocationURL);
}

STDMETHODIMP CPagePlayer::get_Busy(VARIANT_BOOL* pBool) {
    if (!pBool) return E_POINTER;
    common::ScopedLock guard(lock_);
    *pBool = busy_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Name(BSTR* Name) { return common::AllocBstr(L"Page Player", Name); }

STDMETHODIMP CPagePlayer::get_Visible(VARIANT_BOOL* pBool) {
    if (!pBool) return E_POINTER;
    *pBool = visible_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::put_Visible(VARIANT_BOOL Value) {
    visible_ = Value != VARIANT_FALSE;
    if (view_.hwnd()) ::ShowWindow(view_.hwnd(), visible_ ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_ReadyState(READYSTATE* plReadyState) {
    if (!plReadyState) return E_POINTER;
    common::ScopedLock guard(lock_);
    *plReadyState = readyState_;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Offline(VARIANT_BOOL* pbOffline) {
    if (!pbOffline) return E_POINTER;
    *pbOffline = offline_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::put_Offline(VARIANT_BOOL bOffline) {
    offline_ = bOffline != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_Silent(VARIANT_BOOL* pbSilent) {
    if (!pbSilent) return E_POINTER;
    *pbSilent = silent_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::put_Silent(VARIANT_BOOL bSilent) {
    silent_ = bSilent != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) {
    if (!pbRegister) return E_POINTER;
    *pbRegister = registerAsBrowser_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::put_RegisterAsBrowser(VARIANT_BOOL bRegister) {
    registerAsBrowser_ = bRegister != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) {
    if (!pbRegister) return E_POINTER;
    *pbRegister = registerAsDropTarget_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::put_RegisterAsDropTarget(VARIANT_BOOL bRegister) {
    registerAsDropTarget_ = bRegister != VARIANT_FALSE;
    return S_OK;
}

// --- IOleObject -------------------------------------------------------------------------------

STDMETHODIMP CPagePlayer::SetClientSite(IOleClientSite* site) {
    if (!site) {
        // The host is letting go: nothing of the page may call it any more.
        InPlaceDeactivate();
        Unload();
    }
    // Host services (external object, security manager) are looked up through the
    // current site each time, so a site set later (the product replaces the host
    // window's own) takes over at once.
    clientSite_ = site;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return clientSite_.CopyTo(site);
}

STDMETHODIMP CPagePlayer::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP CPagePlayer::Close(DWORD) {
    InPlaceDeactivate();
    Unload();
    return S_OK;
}

STDMETHODIMP CPagePlayer::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP CPagePlayer::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPagePlayer::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CPagePlayer::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPagePlayer::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT posRect) {
    try {
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE: return Activate(activeSite, parent, posRect, false);
        case OLEIVERB_UIACTIVATE: return Activate(activeSite, parent, posRect, true);
        case OLEIVERB_HIDE:
            if (view_.hwnd()) ::ShowWindow(view_.hwnd(), SW_HIDE);
            return S_OK;
        default: return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CPagePlayer::Activate(IOleClientSite* activeSite, HWND parent, LPCRECT posRect, bool uiActivate) {
    if (!view_.hwnd()) {
        common::ComPtr<IOleClientSite> site = activeSite ? activeSite : clientSite_.get();
        common::ComPtr<IOleInPlaceSite> inPlace;
        if (site) site.As(inPlace);
        RECT pos = posRect ? *posRect : position_;
        HWND parentWindow = parent;
        if (inPlace) {
            if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
            LOG_IF_FAILED(inPlace->OnInPlaceActivate());
            HWND siteWindow = nullptr;
            if (SUCCEEDED(inPlace->GetWindow(&siteWindow)) && siteWindow) parentWindow = siteWindow;
            common::ComPtr<IOleInPlaceFrame> frame;
            common::ComPtr<IOleInPlaceUIWindow> document;
            RECT sitePos = {}, clip = {};
            OLEINPLACEFRAMEINFO info = {sizeof(info)};
            if (SUCCEEDED(inPlace->GetWindowContext(frame.put(), document.put(), &sitePos, &clip, &info)) && !posRect)
                pos = sitePos;
            inPlaceSite_ = inPlace;
        }
        if (!parentWindow) {
            if (inPlaceSite_) LOG_IF_FAILED(inPlaceSite_->OnInPlaceDeactivate());
            inPlaceSite_.reset();
            return E_INVALIDARG;
        }
        HRESULT hr = view_.Create(parentWindow, pos);
        if (FAILED(hr)) {
            if (inPlaceSite_) LOG_IF_FAILED(inPlaceSite_->OnInPlaceDeactivate());
            inPlaceSite_.reset();
            return hr;
        }
        position_ = pos;
        view_.SetPage(page_);
        if (!visible_) ::ShowWindow(view_.hwnd(), SW_HIDE);
    } else {
        if (posRect) SetObjectRects(posRect, posRect);
        if (visible_) ::ShowWindow(view_.hwnd(), SW_SHOWNA);
    }
    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        if (inPlaceSite_) LOG_IF_FAILED(inPlaceSite_->OnUIActivate());
    }
    return S_OK;
}

STDMETHODIMP CPagePlayer::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPagePlayer::Update() { return S_OK; }
STDMETHODIMP CPagePlayer::IsUpToDate() { return S_OK; }

STDMETHODIMP CPagePlayer::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kWebBrowserClassId;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetUserType(DWORD, LPOLESTR* type) {
    if (type) *type = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP CPagePlayer::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CPagePlayer::Advise(IAdviseSink*, DWORD* connection) {
    if (connection) *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP CPagePlayer::Unadvise(DWORD) { return OLE_E_NOCONNECTION; }

STDMETHODIMP CPagePlayer::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP CPagePlayer::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
              OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

STDMETHODIMP CPagePlayer::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject -------------------------------------

STDMETHODIMP CPagePlayer::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = view_.hwnd();
    return *window ? S_OK : E_FAIL;
}

STDMETHODIMP CPagePlayer::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP CPagePlayer::InPlaceDeactivate() {
    if (uiActive_) UIDeactivate();
    if (!view_.hwnd() && !inPlaceSite_) return S_OK;
    view_.Destroy();
    if (auto site = std::move(inPlaceSite_)) LOG_IF_FAILED(site->OnInPlaceDeactivate());
    return S_OK;
}

STDMETHODIMP CPagePlayer::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceSite_) LOG_IF_FAILED(inPlaceSite_->OnUIDeactivate(FALSE));
    return S_OK;
}

STDMETHODIMP CPagePlayer::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    position_ = *pos;
    view_.Move(*pos);
    return S_OK;
}

STDMETHODIMP CPagePlayer::ReactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP CPagePlayer::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP CPagePlayer::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CPagePlayer::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CPagePlayer::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP CPagePlayer::EnableModeless(BOOL) { return S_OK; }

// --- IViewObject2 ---------------------------------------------------------------------------------

STDMETHODIMP CPagePlayer::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                               BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc) return E_INVALIDARG;
    RECT r = {0, 0, position_.right - position_.left, position_.bottom - position_.top};
    if (bounds) r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    try {
        if (page_)
            PageView::Draw(dc, r, page_->Title(), page_->TextLines());
        else
            PageView::Draw(dc, r, std::wstring(), {});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (!colors) return E_POINTER;
    *colors = nullptr;
    return S_FALSE;  // no particular palette
}

STDMETHODIMP CPagePlayer::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CPagePlayer::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CPagePlayer::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) viewSink_.CopyTo(sink);
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// --- IPersistStreamInit ----------------------------------------------------------------------------

STDMETHODIMP CPagePlayer::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }
STDMETHODIMP CPagePlayer::IsDirty() { return S_FALSE; }
STDMETHODIMP CPagePlayer::Load(LPSTREAM) { return S_OK; }
STDMETHODIMP CPagePlayer::Save(LPSTREAM, BOOL) { return S_OK; }

STDMETHODIMP CPagePlayer::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

STDMETHODIMP CPagePlayer::InitNew() { return S_OK; }

// --- IOleControl, IObjectWithSite ---------------------------------------------------------------------

STDMETHODIMP CPagePlayer::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    if (info->cb < sizeof(CONTROLINFO)) return E_INVALIDARG;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP CPagePlayer::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP CPagePlayer::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP CPagePlayer::FreezeEvents(BOOL) { return S_OK; }

STDMETHODIMP CPagePlayer::SetSite(IUnknown* site) {
    site_ = site;
    return S_OK;
}

STDMETHODIMP CPagePlayer::GetSite(REFIID riid, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!site_) return E_FAIL;
    return site_->QueryInterface(riid, site);
}

// --- IConnectionPointContainer ------------------------------------------------------------------------

STDMETHODIMP CPagePlayer::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPagePlayer::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

}  // namespace pageplayer
