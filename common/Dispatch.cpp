#include "common/Dispatch.h"

#include "common/Bstr.h"
#include "common/Variant.h"

namespace common {

HRESULT ModuleTypeInfo(REFGUID iid, ITypeInfo** info) noexcept { return ComModule::Current().GetTypeInfo(iid, info); }

HRESULT LookupNames(const NameEntry* table, size_t tableSize, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (count && (!names || !ids)) return E_POINTER;
    for (UINT i = 0; i < count; ++i) {
        const NameEntry* hit = nullptr;
        if (names[i]) {
            for (size_t k = 0; k < tableSize && !hit; ++k) {
                if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, names[i], -1, table[k].name, -1) == CSTR_EQUAL)
                    hit = &table[k];
            }
        }
        if (!hit) return DISP_E_UNKNOWNNAME;
        ids[i] = hit->id;
    }
    return S_OK;
}

HRESULT CheckInvokeArgs(const DISPPARAMS* params, UINT maxArgs, VARIANT* result) noexcept {
    if (!params) return DISP_E_BADVARTYPE;
    if (params->cArgs > maxArgs) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 0 &&
        !(params->cNamedArgs == 1 && params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
        return DISP_E_NONAMEDARGS;
    if (result) ::VariantInit(result);
    return S_OK;
}

static HRESULT ArgAs(const DISPPARAMS* params, UINT index, VARTYPE vt, VARIANT* out, UINT errIndex,
                     UINT* argErr) noexcept {
    if (!params || index >= params->cArgs) return DISP_E_BADPARAMCOUNT;
    HRESULT hr = ::VariantChangeType(out, &params->rgvarg[index], 0, vt);
    if (FAILED(hr)) {
        if (argErr) *argErr = errIndex;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT ArgAsBstr(const DISPPARAMS* params, UINT index, BSTR* out, UINT errIndex, UINT* argErr) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    Variant v;
    HRESULT hr = ArgAs(params, index, VT_BSTR, v.get(), errIndex, argErr);
    if (FAILED(hr)) return hr;
    *out = V_BSTR(v.get());
    V_VT(v.get()) = VT_EMPTY;
    return S_OK;
}

HRESULT ArgAsI4(const DISPPARAMS* params, UINT index, LONG* out, UINT errIndex, UINT* argErr) noexcept {
    if (!out) return E_POINTER;
    Variant v;
    HRESULT hr = ArgAs(params, index, VT_I4, v.get(), errIndex, argErr);
    if (FAILED(hr)) return hr;
    *out = V_I4(v.get());
    return S_OK;
}

void FillExcepInfo(EXCEPINFO* excep, HRESULT hr) noexcept {
    if (!excep) return;
    ZeroMemory(excep, sizeof *excep);
    excep->scode = hr;
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) == S_OK && info) {
        info->GetSource(&excep->bstrSource);
        info->GetDescription(&excep->bstrDescription);
        info->GetHelpFile(&excep->bstrHelpFile);
        info->GetHelpContext(&excep->dwHelpContext);
    }
}

}  // namespace common
