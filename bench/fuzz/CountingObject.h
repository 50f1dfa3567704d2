#pragma once
// A foreign automation object handed to the servers as an argument. Every reference
// taken on any instance is counted, so what a server keeps after a call is visible.
#include <windows.h>
#include <oaidl.h>

namespace fuzz {

class CountingObject final : public IDispatch {
public:
    // A new object with one reference, owned by the caller.
    static CountingObject* Create();
    // References held on all instances together.
    static LONG LiveReferences();

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    CountingObject() = default;
    ~CountingObject() = default;
    LONG refs_ = 1;
};

}  // namespace fuzz
