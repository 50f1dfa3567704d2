#include "TestContainer.h"

#include <gtest/gtest.h>
#include <exdispid.h>
#include <olectl.h>

#include <cwctype>

#include "Harness.h"
#include "common/Bstr.h"
#include "common/Variant.h"

namespace pagetest {

const CLSID kWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

namespace {

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Script values as text: strings as they are, numbers and booleans converted.
std::wstring Text(const VARIANT& v) {
    const VARIANT* p = &v;
    while (p->vt == (VT_BYREF | VT_VARIANT)) p = p->pvarVal;
    if (p->vt == VT_BOOL) return p->boolVal ? L"true" : L"false";
    if (p->vt == VT_EMPTY) return L"undefined";
    if (p->vt == VT_NULL) return L"null";
    return harness::AsString(*p);
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

// --- HostExternal ---------------------------------------------------------------------

HostExternal::HostExternal(std::map<std::wstring, DISPID> names) {
    for (auto& n : names) names_[Lower(n.first)] = n.second;
}

STDMETHODIMP HostExternal::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) HostExternal::Release() {
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP HostExternal::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP HostExternal::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP HostExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        auto found = names_.find(Lower(names[i]));
        ids[i] = found == names_.end() ? DISPID_UNKNOWN : found->second;
        if (found == names_.end())
            hr = DISP_E_UNKNOWNNAME;
        else
            spelled_[found->second] = names[i];
    }
    return hr;
}

STDMETHODIMP HostExternal::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
    ExternalCall call;
    call.id = id;
    call.flags = flags;
    call.thread = ::GetCurrentThreadId();
    call.name = spelled_.count(id) ? spelled_[id] : L"?";
    call.step = clock ? ++*clock : 0;
    for (UINT i = params->cArgs; i-- > params->cNamedArgs;) call.args.push_back(Text(params->rgvarg[i]));
    calls.push_back(call);
    if (Lower(call.name) == L"add" && params->cArgs == 2 && result) {
        ::VariantInit(result);
        result->vt = VT_I4;
        result->lVal = harness::AsLong(params->rgvarg[0]) + harness::AsLong(params->rgvarg[1]);
    }
    return S_OK;
}

std::vector<std::wstring> HostExternal::Summary() const {
    std::vector<std::wstring> out;
    for (const auto& c : calls) {
        std::wstring s = c.name + L":";
        for (size_t i = 0; i < c.args.size(); ++i) s += (i ? L"," : L"") + c.args[i];
        out.push_back(s);
    }
    return out;
}

// --- TestSite -------------------------------------------------------------------------------

TestSite::TestSite(HWND window, IDispatch* external) : window_(window), external_(external) {}

STDMETHODIMP TestSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IServiceProvider)
        *ppv = static_cast<IServiceProvider*>(this);
    else if (riid == IID_IInternetSecurityManager)
        *ppv = static_cast<IInternetSecurityManager*>(this);
    else if (riid == IID_IDocHostUIHandler)
        *ppv = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IDispatch && externalIsHandler && external_)
        return external_->QueryInterface(riid, ppv);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TestSite::Release() {
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP TestSite::GetMoniker(DWORD, DWORD, IMoniker** m) {
    *m = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestSite::GetContainer(IOleContainer** c) {
    *c = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestSite::GetWindow(HWND* w) {
    *w = window_;
    return S_OK;
}

STDMETHODIMP TestSite::OnInPlaceActivate() {
    ++activations;
    return S_OK;
}

STDMETHODIMP TestSite::OnInPlaceDeactivate() {
    ++deactivations;
    return S_OK;
}

STDMETHODIMP TestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                        LPOLEINPLACEFRAMEINFO info) {
    *frame = nullptr;
    *doc = nullptr;
    ::GetClientRect(window_, pos);
    *clip = *pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP TestSite::QueryService(REFGUID service, REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (service == SID_SInternetSecurityManager && riid == IID_IInternetSecurityManager) return QueryInterface(riid, ppv);
    return E_NOINTERFACE;
}

STDMETHODIMP TestSite::ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* answerOut, DWORD policySize, BYTE* context,
                                        DWORD contextSize, DWORD, DWORD) {
    asked.emplace_back(action, url ? url : L"");
    if (action == URLACTION_ACTIVEX_RUN && context && contextSize == sizeof(GUID))
        askedObjects.push_back(*reinterpret_cast<GUID*>(context));
    if (policySize < sizeof(DWORD)) return S_FALSE;
    const DWORD answer = policy ? policy(action) : URLPOLICY_ALLOW;
    *reinterpret_cast<DWORD*>(answerOut) = answer;
    return answer == URLPOLICY_ALLOW ? S_OK : S_FALSE;
}

STDMETHODIMP TestSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    *key = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestSite::GetExternal(IDispatch** external) {
    if (externalIsHandler) {
        // Not an IDispatch at all: only its QueryInterface may be called.
        *external = reinterpret_cast<IDispatch*>(static_cast<IDocHostUIHandler*>(this));
        AddRef();
        return S_OK;
    }
    *external = external_.get();
    if (!*external) return S_FALSE;
    (*external)->AddRef();
    return S_OK;
}

// --- EventSink ---------------------------------------------------------------------------------

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::Release() {
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    BrowserEvent e;
    e.id = id;
    e.thread = ::GetCurrentThreadId();
    e.step = clock ? ++*clock : 0;
    switch (id) {
    case DISPID_NAVIGATECOMPLETE2:
    case DISPID_DOCUMENTCOMPLETE:
        // (pDisp, URL): the URL is a VARIANT by reference.
        EXPECT_EQ(2u, params->cArgs);
        EXPECT_EQ(VT_DISPATCH, params->rgvarg[1].vt);
        EXPECT_EQ(VT_BYREF | VT_VARIANT, params->rgvarg[0].vt);
        e.url = Text(params->rgvarg[0]);
        break;
    case DISPID_NAVIGATEERROR:
        // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
        EXPECT_EQ(5u, params->cArgs);
        EXPECT_EQ(VT_BYREF | VT_BOOL, params->rgvarg[0].vt);
        e.url = Text(params->rgvarg[3]);
        e.status = harness::AsLong(*params->rgvarg[1].pvarVal);
        if (cancelErrors) *params->rgvarg[0].pboolVal = VARIANT_TRUE;
        break;
    default: break;
    }
    events.push_back(e);
    return S_OK;
}

int EventSink::Count(DISPID id) const {
    int n = 0;
    for (const auto& e : events) n += e.id == id;
    return n;
}

std::vector<DISPID> EventSink::Sequence() const {
    std::vector<DISPID> out;
    for (const auto& e : events)
        if (e.id != DISPID_TITLECHANGE) out.push_back(e.id);
    return out;
}

// --- TestContainer -------------------------------------------------------------------------------

TestContainer::TestContainer(std::map<std::wstring, DISPID> externalNames) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PagePlayerTestContainer";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                                480, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_NE(nullptr, window_);
    external_ = new HostExternal(std::move(externalNames));
    external_->clock = &clock;
    site_ = new TestSite(window_, external_);
    sink_ = new EventSink;
    sink_->clock = &clock;

    HRESULT hr = ::CoCreateInstance(kWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.put_void());
    EXPECT_EQ(S_OK, hr) << "the player is not registered under the WebBrowser's class id";
    if (!object_) return;
    EXPECT_EQ(S_OK, object_->SetClientSite(site_));
    common::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_.As(persist))) {
        EXPECT_EQ(S_OK, persist->InitNew());
    }
    RECT rc;
    ::GetClientRect(window_, &rc);
    EXPECT_EQ(S_OK, object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &rc));
    common::ComPtr<IOleInPlaceObject> inPlace;
    EXPECT_EQ(S_OK, object_.As(inPlace));
    if (inPlace) {
        EXPECT_EQ(S_OK, inPlace->SetObjectRects(&rc, &rc));
    }
    EXPECT_EQ(S_OK, object_.As(browser_));
    common::ComPtr<IConnectionPointContainer> points;
    EXPECT_EQ(S_OK, object_.As(points));
    if (points) {
        EXPECT_EQ(S_OK, points->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.put()));
    }
    if (point_) {
        EXPECT_EQ(S_OK, point_->Advise(sink_, &cookie_));
    }
}

TestContainer::~TestContainer() {
    Shutdown();
    sink_->Release();
    site_->Release();
    external_->Release();
    if (window_) ::DestroyWindow(window_);
}

void TestContainer::Shutdown() {
    if (point_) {
        point_->Unadvise(cookie_);
        point_.reset();
    }
    browser_.reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.reset();
    }
}

HWND TestContainer::PlayerWindow() const {
    common::ComPtr<IOleWindow> w;
    HWND hwnd = nullptr;
    if (object_ && SUCCEEDED(object_.As(w))) w->GetWindow(&hwnd);
    return hwnd;
}

bool TestContainer::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
        if (done()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool TestContainer::NavigateAndWait(const std::wstring& url, DWORD timeoutMs) {
    if (!browser_) return false;
    const int before = sink_->Count(DISPID_DOCUMENTCOMPLETE);
    common::Bstr address(url.c_str());
    if (FAILED(browser_->Navigate(address.get(), nullptr, nullptr, nullptr, nullptr))) return false;
    return PumpUntil([&] { return sink_->Count(DISPID_DOCUMENTCOMPLETE) > before; }, timeoutMs);
}

}  // namespace pagetest
