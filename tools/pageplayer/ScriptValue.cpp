#include "tools/pageplayer/ScriptValue.h"

#include <dispex.h>

#include "common/Variant.h"

namespace pageplayer {

namespace {

const VARIANT* Deref(const VARIANT* v) noexcept {
    while (v && v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

}  // namespace

UINT ScriptValue::Count(const DISPPARAMS* params) noexcept {
    if (!params || params->cArgs < params->cNamedArgs) return 0;
    return params->cArgs - params->cNamedArgs;
}

const VARIANT* ScriptValue::Arg(const DISPPARAMS* params, UINT i) noexcept {
    if (i >= Count(params) || !params->rgvarg) return nullptr;
    // Named arguments come first in rgvarg; positional ones follow, last argument first.
    return Deref(&params->rgvarg[params->cArgs - 1 - i]);
}

const VARIANT* ScriptValue::PutValue(const DISPPARAMS* params) noexcept {
    if (!params || !params->rgvarg || params->cArgs == 0) return nullptr;
    for (UINT i = 0; i < params->cNamedArgs && params->rgdispidNamedArgs; ++i)
        if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) return Deref(&params->rgvarg[i]);
    return Deref(&params->rgvarg[params->cNamedArgs < params->cArgs ? params->cNamedArgs : 0]);
}

IDispatch* ScriptValue::This(const DISPPARAMS* params) noexcept {
    if (!params || !params->rgvarg || !params->rgdispidNamedArgs) return nullptr;
    for (UINT i = 0; i < params->cNamedArgs; ++i)
        if (params->rgdispidNamedArgs[i] == DISPID_THIS) return Object(&params->rgvarg[i]);
    return nullptr;
}

std::wstring ScriptValue::String(const VARIANT* v) {
    v = Deref(v);
    if (!v) return std::wstring();
    switch (v->vt) {
    case VT_EMPTY: return L"undefined";
    case VT_NULL: return L"null";
    case VT_BOOL: return v->boolVal ? L"true" : L"false";
    case VT_BSTR: return std::wstring(v->bstrVal ? v->bstrVal : L"", ::SysStringLen(v->bstrVal));
    case VT_DISPATCH:
        if (!v->pdispVal) return L"null";
        break;
    default: break;
    }
    common::Variant text;
    // Numbers as script spells them (a dot), not in the user's locale.
    if (FAILED(::VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(v), MAKELCID(0x0409, SORT_DEFAULT), 0,
                                     VT_BSTR)))
        return v->vt == VT_DISPATCH ? L"[object]" : std::wstring();
    BSTR s = V_BSTR(text.get());
    return std::wstring(s ? s : L"", ::SysStringLen(s));
}

bool ScriptValue::Bool(const VARIANT* v) noexcept {
    v = Deref(v);
    if (!v) return false;
    switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL: return false;
    case VT_BOOL: return v->boolVal != VARIANT_FALSE;
    case VT_BSTR: return ::SysStringLen(v->bstrVal) != 0;
    case VT_DISPATCH:
    case VT_UNKNOWN: return v->punkVal != nullptr;
    default: break;
    }
    VARIANT d;
    ::VariantInit(&d);
    if (FAILED(::VariantChangeType(&d, const_cast<VARIANT*>(v), 0, VT_R8))) return false;
    return d.dblVal != 0 && d.dblVal == d.dblVal;  // NaN is false
}

LONG ScriptValue::Int(const VARIANT* v) noexcept {
    v = Deref(v);
    if (!v) return 0;
    VARIANT d;
    ::VariantInit(&d);
    if (FAILED(::VariantChangeTypeEx(&d, const_cast<VARIANT*>(v), MAKELCID(0x0409, SORT_DEFAULT), 0, VT_R8)))
        return 0;
    if (!(d.dblVal == d.dblVal) || d.dblVal > 2147483647.0 || d.dblVal < -2147483648.0) return 0;
    return static_cast<LONG>(d.dblVal);
}

IDispatch* ScriptValue::Object(const VARIANT* v) noexcept {
    v = Deref(v);
    if (!v) return nullptr;
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal) return *v->ppdispVal;
    return nullptr;
}

bool ScriptValue::IsString(const VARIANT* v) noexcept {
    v = Deref(v);
    return v && v->vt == VT_BSTR;
}

HRESULT ScriptValue::SetString(VARIANT* result, const std::wstring& s) noexcept {
    if (!result) return S_OK;
    ::VariantClear(result);
    BSTR b = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!b) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = b;
    return S_OK;
}

HRESULT ScriptValue::SetBool(VARIANT* result, bool b) noexcept {
    if (!result) return S_OK;
    ::VariantClear(result);
    result->vt = VT_BOOL;
    result->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ScriptValue::SetInt(VARIANT* result, LONG i) noexcept {
    if (!result) return S_OK;
    ::VariantClear(result);
    result->vt = VT_I4;
    result->lVal = i;
    return S_OK;
}

HRESULT ScriptValue::SetObject(VARIANT* result, IDispatch* object) noexcept {
    if (!result) return S_OK;
    ::VariantClear(result);
    if (!object) {
        result->vt = VT_NULL;
        return S_OK;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    object->AddRef();
    return S_OK;
}

HRESULT ScriptValue::SetNull(VARIANT* result) noexcept {
    if (!result) return S_OK;
    ::VariantClear(result);
    result->vt = VT_NULL;
    return S_OK;
}

}  // namespace pageplayer
