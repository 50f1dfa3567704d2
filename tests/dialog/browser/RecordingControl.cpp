#include "RecordingControl.h"

#include <new>

namespace browsertest {

const CLSID kRecordingControlClsid = {0x6A0E3C51, 0x27B8, 0x4F0B, {0x9A, 0x51, 0x3D, 0x1C, 0x2E, 0x7F, 0x4B, 0x10}};

std::string ControlRecord::Joined() const {
    std::string s;
    for (const auto& c : calls) s += (s.empty() ? "" : " ") + c;
    return s;
}

namespace {

class Control final : public IOleObject, public IOleInPlaceObject, public IPersistStreamInit {
public:
    explicit Control(ControlRecord& r) : r_(r) { ++r_.alive; }
    ~Control() { --r_.alive; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
            *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
            *ppv = static_cast<IPersistStreamInit*>(this);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        r_.calls.push_back(site ? "SetClientSite" : "SetClientSite(null)");
        if (site_) site_->Release();
        site_ = site;
        if (site_) site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        if (!site) return E_POINTER;
        *site = site_;
        if (site_) site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD option) override {
        r_.calls.push_back(option == OLECLOSE_NOSAVE ? "Close(nosave)" : "Close");
        ReleaseInPlaceSite();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override {
        r_.calls.push_back("DoVerb");
        r_.verb = verb;
        r_.verbParent = parent;
        if (rect) r_.verbRect = *rect;
        if (FAILED(r_.doVerbResult)) return r_.doVerbResult;
        IOleInPlaceSite* inPlace = nullptr;
        if (site && SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->GetWindow(&r_.siteWindow);
            if (inPlace->CanInPlaceActivate() == S_OK) inPlace->OnInPlaceActivate();
            IOleInPlaceFrame* frame = nullptr;
            IOleInPlaceUIWindow* doc = nullptr;
            RECT pos{}, clip{};
            OLEINPLACEFRAMEINFO info{sizeof info};
            if (SUCCEEDED(inPlace->GetWindowContext(&frame, &doc, &pos, &clip, &info))) {
                if (frame) frame->Release();
                if (doc) doc->Release();
            }
            ReleaseInPlaceSite();
            inPlaceSite_ = inPlace;
        }
        return S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = kRecordingControlClsid;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return S_OK; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = r_.siteFirst ? OLEMISC_SETCLIENTSITEFIRST : 0;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND*) override { return E_FAIL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        r_.calls.push_back("InPlaceDeactivate");
        if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
        r_.calls.push_back("SetObjectRects");
        if (position) r_.objectRect = *position;
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override { return GetUserClassID(clsid); }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override {
        r_.calls.push_back("InitNew");
        return S_OK;
    }

private:
    void ReleaseInPlaceSite() {
        if (inPlaceSite_) inPlaceSite_->Release();
        inPlaceSite_ = nullptr;
    }

    ControlRecord& r_;
    ULONG refs_ = 0;
    IOleClientSite* site_ = nullptr;
    IOleInPlaceSite* inPlaceSite_ = nullptr;
};

class Factory final : public IClassFactory {
public:
    explicit Factory(ControlRecord& r) : r_(r) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* c = new (std::nothrow) Control(r_);
        if (!c) return E_OUTOFMEMORY;
        c->AddRef();
        HRESULT hr = c->QueryInterface(riid, ppv);
        c->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    ControlRecord& r_;
    ULONG refs_ = 0;
};

}  // namespace

RecordingControlClass::RecordingControlClass(ControlRecord& record) : factory_(new Factory(record)) {
    factory_->AddRef();
    ::CoRegisterClassObject(kRecordingControlClsid, factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

RecordingControlClass::~RecordingControlClass() {
    if (cookie_) ::CoRevokeClassObject(cookie_);
    factory_->Release();
}

}  // namespace browsertest
