#pragma once
// IDispatch implementations: one driven by the module's type library, one driven
// by a class's own name table and dispatcher, plus argument helpers for the latter.
#include <windows.h>
#include <oaidl.h>

#include "common/ComModule.h"
#include "common/ComPtr.h"

namespace common {

// Type information for iid from the current module's type library.
HRESULT ModuleTypeInfo(REFGUID iid, ITypeInfo** info) noexcept;

// GetTypeInfoCount / GetTypeInfo of the dual interface Itf from the module's type
// library: one type information, index 0 only.
template <class Itf>
class DispatchTypeInfo : public Itf {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        ComPtr<ITypeInfo> ti;
        *count = SUCCEEDED(ModuleTypeInfo(__uuidof(Itf), ti.put())) ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return ModuleTypeInfo(__uuidof(Itf), info);
    }
};

// Checks a GetIDsOfNames call before it reaches a type information: at least one
// name, no null array or name, a place for the ids (E_INVALIDARG otherwise).
HRESULT CheckNameLookup(LPOLESTR* names, UINT count, const DISPID* ids) noexcept;

// Checks an Invoke call against the member's description in `ti` before the type
// information converts the arguments: the argument count (optional and defaulted
// parameters may be left out; the retval is not an argument), whether each plain
// value argument converts to its parameter's type, and that a reference given for a
// pointer parameter points to a value of that very type. The platform's Invoke leaks the
// arguments it converted when it rejects a call, so such calls never reach it.
// S_OK also when the member is unknown (the type information answers that itself).
HRESULT CheckTypeInfoCall(ITypeInfo* ti, DISPID id, WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept;

// IDispatch through the type information of the dual interface Itf: names are
// matched without regard to case and calls go through the interface's vtable.
template <class Itf>
class TypeLibDispatch : public DispatchTypeInfo<Itf> {
public:
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = CheckNameLookup(names, count, ids);
        if (FAILED(hr)) return hr;
        ComPtr<ITypeInfo> ti;
        hr = ModuleTypeInfo(__uuidof(Itf), ti.put());
        if (FAILED(hr)) return hr;
        return ti->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        ComPtr<ITypeInfo> ti;
        HRESULT hr = ModuleTypeInfo(__uuidof(Itf), ti.put());
        if (FAILED(hr)) return hr;
        hr = CheckTypeInfoCall(ti.get(), id, flags, params, argErr);
        if (FAILED(hr)) return hr;
        return ti->Invoke(static_cast<Itf*>(this), id, flags, params, result, excep, argErr);
    }
};

struct NameEntry {
    const wchar_t* name;
    DISPID id;
};

// GetIDsOfNames over a name table: each name is compared without regard to case, in
// order; the first unknown name ends the call with DISP_E_UNKNOWNNAME and leaves its
// slot and the later ones unwritten.
HRESULT LookupNames(const NameEntry* table, size_t tableSize, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// IDispatch whose names come from a table of the class and whose calls go to the
// class's own dispatcher. Type information still comes from the type library.
template <class Itf>
class NameTableDispatch : public DispatchTypeInfo<Itf> {
public:
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        size_t size = 0;
        const NameEntry* table = NameTable(size);
        return LookupNames(table, size, names, count, ids);
    }

protected:
    virtual const NameEntry* NameTable(size_t& size) const noexcept = 0;
};

// --- Argument helpers for hand-written dispatchers -------------------------------

// Common first checks: no parameter block -> DISP_E_BADVARTYPE; more than maxArgs
// arguments -> DISP_E_BADPARAMCOUNT; named arguments refused with DISP_E_NONAMEDARGS
// unless there is exactly one and it is DISPID_PROPERTYPUT. Initializes the result.
HRESULT CheckInvokeArgs(const DISPPARAMS* params, UINT maxArgs, VARIANT* result) noexcept;

// Copies argument `index` (as stored: 0 is the last argument) converted to VT_BSTR.
// On failure returns DISP_E_TYPEMISMATCH and stores errIndex in *argErr when given.
HRESULT ArgAsBstr(const DISPPARAMS* params, UINT index, BSTR* out, UINT errIndex, UINT* argErr) noexcept;
// The same for VT_I4.
HRESULT ArgAsI4(const DISPPARAMS* params, UINT index, LONG* out, UINT errIndex, UINT* argErr) noexcept;

// Fills an exception record from the thread's error information after a failed call.
void FillExcepInfo(EXCEPINFO* excep, HRESULT hr) noexcept;

}  // namespace common
