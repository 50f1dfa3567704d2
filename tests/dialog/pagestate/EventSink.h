#pragma once
// A sink for the page-state object's events, as a page or host would connect one: it
// counts each event and remembers the thread it arrived on.
#include <windows.h>
#include <ocidl.h>

#include <map>

#include "common/ComPtr.h"

namespace pagestate_test {

class EventSink final : public IDispatch {
public:
    EventSink();
    ~EventSink();
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    // Advises the object's _ISlideStateEvents connection point; false when that fails.
    bool Connect(IUnknown* source);
    void Disconnect();

    int Count(DISPID id);
    DWORD LastThread(DISPID id);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    volatile LONG refs_ = 1;  // the test's own reference, never released to zero
    CRITICAL_SECTION cs_;
    std::map<DISPID, int> counts_;
    std::map<DISPID, DWORD> threads_;
    common::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace pagestate_test
