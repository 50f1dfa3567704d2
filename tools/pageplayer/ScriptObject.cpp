#include "tools/pageplayer/ScriptObject.h"

#include <new>

#include "tools/pageplayer/BoundMethod.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

STDMETHODIMP ScriptObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ScriptObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ScriptObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0) continue;  // named arguments are not supported
        BSTR name = ::SysAllocString(names[i]);
        if (!name) return E_OUTOFMEMORY;
        HRESULT hr = GetDispID(name, 0, &ids[i]);
        ::SysFreeString(name);
        if (FAILED(hr)) result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

STDMETHODIMP ScriptObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* excep, UINT* argErr) {
    if (argErr) *argErr = 0;
    return InvokeEx(id, lcid, flags, params, result, excep, nullptr);
}

STDMETHODIMP ScriptObject::GetDispID(BSTR name, DWORD grfdex, DISPID* id) {
    if (!id) return E_POINTER;
    *id = DISPID_UNKNOWN;
    if (!name) return DISP_E_UNKNOWNNAME;
    size_t count = 0;
    const ScriptMember* table = Members(count);
    const bool exact = (grfdex & fdexNameCaseSensitive) != 0;
    for (size_t i = 0; i < count; ++i) {
        const int n = static_cast<int>(wcslen(table[i].name));
        if (static_cast<int>(::SysStringLen(name)) == n &&
            ::CompareStringOrdinal(name, n, table[i].name, n, exact ? FALSE : TRUE) == CSTR_EQUAL) {
            *id = table[i].id;
            return S_OK;
        }
    }
    try {
        return OtherDispId(name, grfdex, id);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScriptObject::OtherDispId(BSTR, DWORD, DISPID*) { return DISP_E_UNKNOWNNAME; }
HRESULT ScriptObject::OtherName(DISPID, BSTR*) { return DISP_E_MEMBERNOTFOUND; }
HRESULT ScriptObject::InvokeOther(DISPID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, IServiceProvider*) {
    return DISP_E_MEMBERNOTFOUND;
}

const ScriptMember* ScriptObject::Find(DISPID id) const noexcept {
    size_t count = 0;
    const ScriptMember* table = Members(count);
    for (size_t i = 0; i < count; ++i)
        if (table[i].id == id) return &table[i];
    return nullptr;
}

STDMETHODIMP ScriptObject::InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excep, IServiceProvider* caller) {
    // Page script reaches host code here: nothing may escape as a C++ exception.
    try {
        return Dispatch(id, lcid, flags, params, result, excep, caller);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ScriptObject::Dispatch(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excep, IServiceProvider* caller) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if (result) ::VariantInit(result);
    const ScriptMember* member = Find(id);
    if (!member) return InvokeOther(id, lcid, flags, params, result, excep, caller);
    if (member->method) {
        if (flags & DISPATCH_METHOD) return InvokeMember(id, DISPATCH_METHOD, params, result);
        if (flags & DISPATCH_PROPERTYGET) {
            // The method as a value: an object that calls it.
            common::ComPtr<IDispatch> bound;
            HRESULT hr = BoundMethod::Create(this, id, bound);
            if (FAILED(hr)) return hr;
            if (result) {
                result->vt = VT_DISPATCH;
                result->pdispVal = bound.Detach();
            }
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!ScriptValue::PutValue(params)) return DISP_E_BADPARAMCOUNT;
        return InvokeMember(id, DISPATCH_PROPERTYPUT, params, result);
    }
    if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) return InvokeMember(id, DISPATCH_PROPERTYGET, params, result);
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP ScriptObject::DeleteMemberByName(BSTR, DWORD) { return S_FALSE; }
STDMETHODIMP ScriptObject::DeleteMemberByDispID(DISPID) { return S_FALSE; }

STDMETHODIMP ScriptObject::GetMemberProperties(DISPID, DWORD, DWORD* props) {
    if (props) *props = 0;
    return E_NOTIMPL;
}

STDMETHODIMP ScriptObject::GetMemberName(DISPID id, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (const ScriptMember* m = Find(id)) {
        *name = ::SysAllocString(m->name);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    try {
        return OtherName(id, name);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP ScriptObject::GetNextDispID(DWORD, DISPID id, DISPID* next) {
    if (!next) return E_POINTER;
    *next = DISPID_UNKNOWN;
    size_t count = 0;
    const ScriptMember* table = Members(count);
    size_t i = 0;
    if (id != DISPID_STARTENUM) {
        while (i < count && table[i].id != id) ++i;
        if (i == count) return S_FALSE;
        ++i;
    }
    if (i >= count) return S_FALSE;
    *next = table[i].id;
    return S_OK;
}

STDMETHODIMP ScriptObject::GetNameSpaceParent(IUnknown** parent) {
    if (parent) *parent = nullptr;
    return E_NOTIMPL;
}

}  // namespace pageplayer
