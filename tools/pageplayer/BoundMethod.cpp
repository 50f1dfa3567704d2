#include "tools/pageplayer/BoundMethod.h"

#include <new>

namespace pageplayer {

HRESULT BoundMethod::Create(IDispatch* target, DISPID id, common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<BoundMethod>();
    if (!obj) return E_OUTOFMEMORY;
    obj->target_ = target;
    obj->id_ = id;
    out = static_cast<IDispatch*>(obj);
    return S_OK;
}

STDMETHODIMP BoundMethod::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BoundMethod::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BoundMethod::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP BoundMethod::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    return target_->Invoke(id_, riid, lcid, DISPATCH_METHOD, params, result, excep, argErr);
}

}  // namespace pageplayer
