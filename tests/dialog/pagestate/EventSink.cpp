#include "EventSink.h"

#include "stagehand.h"

namespace pagestate_test {

EventSink::EventSink() { ::InitializeCriticalSection(&cs_); }

EventSink::~EventSink() {
    Disconnect();
    ::DeleteCriticalSection(&cs_);
}

bool EventSink::Connect(IUnknown* source) {
    common::ComPtr<IConnectionPointContainer> container;
    if (!source || FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.put_void()))) return false;
    if (FAILED(container->FindConnectionPoint(DIID__ISlideStateEvents, point_.put()))) return false;
    return SUCCEEDED(point_->Advise(this, &cookie_));
}

void EventSink::Disconnect() {
    if (point_ && cookie_) point_->Unadvise(cookie_);
    cookie_ = 0;
    point_.reset();
}

int EventSink::Count(DISPID id) {
    ::EnterCriticalSection(&cs_);
    int n = counts_[id];
    ::LeaveCriticalSection(&cs_);
    return n;
}

DWORD EventSink::LastThread(DISPID id) {
    ::EnterCriticalSection(&cs_);
    DWORD t = threads_[id];
    ::LeaveCriticalSection(&cs_);
    return t;
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__ISlideStateEvents) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) EventSink::Release() { return static_cast<ULONG>(::InterlockedDecrement(&refs_)); }

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    ::EnterCriticalSection(&cs_);
    ++counts_[id];
    threads_[id] = ::GetCurrentThreadId();
    ::LeaveCriticalSection(&cs_);
    return S_OK;
}

}  // namespace pagestate_test
