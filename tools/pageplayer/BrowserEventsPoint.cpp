#include "tools/pageplayer/BrowserEventsPoint.h"

#include <exdisp.h>
#include <olectl.h>

namespace pageplayer {

STDMETHODIMP BrowserEventsPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserEventsPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

STDMETHODIMP BrowserEventsPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = container_;
    container_->AddRef();
    return S_OK;
}

STDMETHODIMP BrowserEventsPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    common::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, dispatch.put_void())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void())))
        return CONNECT_E_CANNOTCONNECT;
    common::ScopedLock guard(lock_);
    try {
        sinks_.emplace_back(nextCookie_, dispatch);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP BrowserEventsPoint::Unadvise(DWORD cookie) {
    common::ComPtr<IDispatch> released;  // released outside the lock
    common::ScopedLock guard(lock_);
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            released = std::move(it->second);
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP BrowserEventsPoint::EnumConnections(IEnumConnections** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

void BrowserEventsPoint::Fire(DISPID id, DISPPARAMS* params) {
    std::vector<common::ComPtr<IDispatch>> sinks;
    {
        common::ScopedLock guard(lock_);
        for (auto& s : sinks_) sinks.push_back(s.second);
    }
    // Events are notifications: what a sink answers is its own business.
    for (auto& sink : sinks) {
        VARIANT result;
        ::VariantInit(&result);
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, &result, nullptr, nullptr);
        ::VariantClear(&result);
    }
}

void BrowserEventsPoint::Clear() {
    std::vector<std::pair<DWORD, common::ComPtr<IDispatch>>> released;
    common::ScopedLock guard(lock_);
    released.swap(sinks_);
}

}  // namespace pageplayer
