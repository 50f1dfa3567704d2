#include "CountingObject.h"

namespace fuzz {

namespace {
volatile LONG g_live = 0;
}

CountingObject* CountingObject::Create() {
    ::InterlockedIncrement(&g_live);
    return new CountingObject();
}

LONG CountingObject::LiveReferences() { return g_live; }

STDMETHODIMP CountingObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CountingObject::AddRef() {
    ::InterlockedIncrement(&g_live);
    return ::InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) CountingObject::Release() {
    ::InterlockedDecrement(&g_live);
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CountingObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CountingObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP CountingObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CountingObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace fuzz
