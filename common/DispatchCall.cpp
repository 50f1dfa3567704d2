#include "common/DispatchCall.h"

namespace common {

HRESULT DispatchCall::Prepare(const DISPPARAMS* params, UINT count, VARTYPE argType, UINT* argErr) noexcept {
    count_ = 0;
    if (!params || count > kMaxArgs || params->cArgs != count) return DISP_E_BADPARAMCOUNT;
    if (count && !params->rgvarg) return E_INVALIDARG;
    for (UINT position = 0; position < count; ++position) {
        // The caller's array holds the arguments last to first.
        const UINT index = count - 1 - position;
        const VARIANT* arg = &params->rgvarg[index];
        if (argType == VT_VARIANT) {
            if (V_VT(arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(arg)) arg = V_VARIANTREF(arg);
            args_[position] = arg;
            continue;
        }
        if (FAILED(::VariantChangeType(converted_[position].put(), const_cast<VARIANT*>(arg), 0, argType))) {
            if (argErr) *argErr = index;
            return DISP_E_TYPEMISMATCH;
        }
        args_[position] = converted_[position].get();
    }
    count_ = count;
    return S_OK;
}

const VARIANT& DispatchCall::Arg(UINT position) const noexcept {
    static const VARIANT kEmpty = {};
    return position < count_ ? *args_[position] : kEmpty;
}

BSTR DispatchCall::Text(UINT position) const noexcept {
    const VARIANT& v = Arg(position);
    return V_VT(&v) == VT_BSTR ? V_BSTR(&v) : nullptr;
}

LONG DispatchCall::Number(UINT position) const noexcept {
    const VARIANT& v = Arg(position);
    return V_VT(&v) == VT_I4 ? V_I4(&v) : 0;
}

BSTR* DispatchCall::TextResult() noexcept {
    VARIANT* v = result_.put();
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = nullptr;
    return &V_BSTR(v);
}

VARIANT_BOOL* DispatchCall::FlagResult() noexcept {
    VARIANT* v = result_.put();
    V_VT(v) = VT_BOOL;
    V_BOOL(v) = VARIANT_FALSE;
    return &V_BOOL(v);
}

LONG* DispatchCall::NumberResult() noexcept {
    VARIANT* v = result_.put();
    V_VT(v) = VT_I4;
    V_I4(v) = 0;
    return &V_I4(v);
}

ULONG* DispatchCall::UnsignedResult() noexcept {
    VARIANT* v = result_.put();
    V_VT(v) = VT_I4;
    V_UI4(v) = 0;
    return &V_UI4(v);
}

VARIANT* DispatchCall::ValueResult() noexcept { return result_.put(); }

void DispatchCall::Deliver(VARIANT* result) noexcept {
    if (result)
        *result = result_.Detach();
    else
        result_.clear();
}

}  // namespace common
