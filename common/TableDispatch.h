#pragma once
// IDispatch answered from a class's own table of members instead of its type library:
// each row names a member, its DISPID, how many arguments it takes, what they are
// converted to and the function that calls the class. Type information still comes from
// the module's type library.
//
//   const common::DispatchRow<CThing> kRows[] = {
//       {L"Count", 1, 0, [](CThing& t, common::DispatchCall& c) { return t.Count(c.NumberResult()); }},
//       {L"Add", 2, 1, [](CThing& t, common::DispatchCall& c) { return t.Add(c.Text(0)); }},
//   };
//   const common::DispatchTable<CThing> CThing::kDispatchTable = {kRows, 2, 2};
//   class CThing : ..., public common::TableDispatch<CThing, IThing> { ... };
#include <windows.h>
#include <oaidl.h>

#include "common/Dispatch.h"
#include "common/DispatchCall.h"
#include "common/HResult.h"

namespace common {

template <class T>
struct DispatchRow {
    const wchar_t* name;
    DISPID id;
    UINT argCount;
    HRESULT (*thunk)(T& object, DispatchCall& call);
    // What each argument is converted to; VT_VARIANT takes it as the caller gave it.
    VARTYPE argType = VT_BSTR;
    // The DISPATCH_* flags the row answers (0: any). Rows sharing a DISPID are told
    // apart by these: the first row of the DISPID whose flags meet the call's is used.
    WORD kinds = 0;
};

template <class T>
struct DispatchTable {
    const DispatchRow<T>* rows;
    size_t count;
    // More arguments than this are refused before the member is looked at.
    UINT maxArgs;
};

// The checks every table-driven Invoke makes before it looks at the member, and the
// exception record of a failed member. Shared by all tables.
namespace table_dispatch {
// Whether a caller's name is the table's name, compared without regard to case.
bool SameName(const wchar_t* asked, const wchar_t* known) noexcept;
// GetIDsOfNames over a table's rows.
template <class Row>
HRESULT LookupNames(const Row* rows, size_t count, LPOLESTR* names, UINT nameCount, DISPID* ids) noexcept {
    if (nameCount && (!names || !ids)) return E_POINTER;
    for (UINT i = 0; i < nameCount; ++i) {
        const Row* hit = nullptr;
        for (size_t k = 0; k < count && !hit && names[i]; ++k)
            if (SameName(names[i], rows[k].name)) hit = &rows[k];
        if (!hit) return DISP_E_UNKNOWNNAME;
        ids[i] = hit->id;
    }
    return S_OK;
}
// The thread's error information cleared before a member runs, so that a failure's
// exception record describes that failure and not an older one.
void ClearErrorInfo() noexcept;
}  // namespace table_dispatch

// Itf: the dual interface whose IDispatch part this implements. T: the class, deriving
// from this, with `static const DispatchTable<T> kDispatchTable`.
template <class T, class Itf>
class TableDispatch : public DispatchTypeInfo<Itf> {
public:
    // Each name is compared without regard to case with the table's names, in order; the
    // first unknown name ends the call with DISP_E_UNKNOWNNAME, its slot and the later
    // ones left unwritten.
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        const DispatchTable<T>& table = T::kDispatchTable;
        return table_dispatch::LookupNames(table.rows, table.count, names, count, ids);
    }

    // No parameter block: DISP_E_BADVARTYPE; more than the table's maximum of arguments:
    // DISP_E_BADPARAMCOUNT; named arguments: DISP_E_NONAMEDARGS unless a single
    // DISPID_PROPERTYPUT. Then the row: none for the DISPID and flags gives
    // DISP_E_MEMBERNOTFOUND, another argument count DISP_E_BADPARAMCOUNT, an argument that
    // doesn't convert DISP_E_TYPEMISMATCH. A member's failure is returned as it is, with
    // the exception record (when given) filled from the thread's error information.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        const DispatchTable<T>& table = T::kDispatchTable;
        HRESULT hr = CheckInvokeArgs(params, table.maxArgs, result);
        if (FAILED(hr)) return hr;
        const DispatchRow<T>* row = nullptr;
        for (size_t i = 0; i < table.count && !row; ++i) {
            const DispatchRow<T>& r = table.rows[i];
            if (r.id == id && (r.kinds == 0 || (r.kinds & flags))) row = &r;
        }
        if (!row) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != row->argCount) return DISP_E_BADPARAMCOUNT;
        DispatchCall call;
        hr = call.Prepare(params, row->argCount, row->argType, argErr);
        if (FAILED(hr)) return hr;
        table_dispatch::ClearErrorInfo();
        hr = NoThrow([&] { return row->thunk(static_cast<T&>(*this), call); });
        if (FAILED(hr)) {
            FillExcepInfo(excep, hr);
            return hr;
        }
        call.Deliver(result);
        return hr;
    }
};

}  // namespace common
