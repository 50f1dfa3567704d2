#include "common/DispatchArgs.h"

#include "common/Variant.h"

namespace common {

HRESULT DispatchArgs::Init(const DISPPARAMS* params, UINT maxArgs, UINT* argErr) noexcept {
    params_ = params;
    count_ = 0;
    if (!params) return DISP_E_BADVARTYPE;
    if (params->cArgs > maxArgs || params->cArgs > kMaxArgs) return DISP_E_BADPARAMCOUNT;
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs || (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    const UINT args = params->cArgs;
    const bool putFirst = params->cNamedArgs > 0 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    bool taken[kMaxArgs] = {};

    // Positional arguments are stored after the named ones, last argument first; a
    // leading property-put value is the last positional argument.
    UINT position = 0;
    for (UINT i = args; i-- > params->cNamedArgs;) {
        index_[position] = i;
        taken[position++] = true;
    }
    if (putFirst) {
        index_[position] = 0;
        taken[position++] = true;
    }
    for (UINT i = putFirst ? 1 : 0; i < params->cNamedArgs; ++i) {
        const DISPID named = params->rgdispidNamedArgs[i];
        if (named < 0 || static_cast<UINT>(named) >= args || taken[named]) {
            if (argErr) *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        index_[named] = i;
        taken[named] = true;
    }
    count_ = args;
    return S_OK;
}

HRESULT DispatchArgs::I4At(UINT position, LONG* out, UINT* argErr) const noexcept {
    if (!out) return E_POINTER;
    if (position >= count_) return DISP_E_BADPARAMCOUNT;
    Variant v;
    if (FAILED(::VariantChangeType(v.get(), At(position), 0, VT_I4))) {
        if (argErr) *argErr = IndexOf(position);
        return DISP_E_TYPEMISMATCH;
    }
    *out = V_I4(v.get());
    return S_OK;
}

}  // namespace common
