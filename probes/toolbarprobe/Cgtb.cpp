#include "Cgtb.h"

#include "VendorCheck.h"
#include "common/DispatchArgs.h"
#include "common/Handle.h"
#include "common/HResult.h"

namespace {

const common::NameEntry kNames[] = {{L"record", 0}, {L"reason", 1}, {L"shouldOffer", 1}};

// The vendor's compatibility library, loaded for each question and freed after it.
const wchar_t kVendorLibrary[] = L"gtapi_signed.dll";
const char kCheckEntryPoint[] = "ToolbarCompatibilityCheck";
// Non-zero when the toolbar may be offered; otherwise *reasons holds the vendor's reasons.
typedef BOOL(WINAPI* CompatibilityCheckFn)(LONG record, HKEY userKey, DWORD* reasons);

// Where the answer to a late-bound call goes: `reason` must come by reference, either
// to a variant holding (or convertible in place to) a 32-bit integer, or to a 32-bit
// integer itself.
LONG* ReasonTarget(VARIANT* arg) {
    if (V_VT(arg) == (VT_BYREF | VT_I4)) return V_I4REF(arg);
    if (V_VT(arg) != (VT_BYREF | VT_VARIANT)) return nullptr;
    VARIANT* referenced = V_VARIANTREF(arg);
    if (!referenced) return nullptr;
    if (V_VT(referenced) != VT_I4 && FAILED(::VariantChangeType(referenced, referenced, 0, VT_I4))) return nullptr;
    return &V_I4(referenced);
}

}  // namespace

Cgtb::Cgtb() : common::ProvideClassInfoImpl(CLSID_Cgtb) {}

Cgtb::~Cgtb() = default;

const common::NameEntry* Cgtb::NameTable(size_t& size) const noexcept {
    size = sizeof kNames / sizeof kNames[0];
    return kNames;
}

STDMETHODIMP Cgtb::shouldOffer(LONG record, LONG* reason) {
    return probes::AskVendor(kVendorLibrary, kCheckEntryPoint, reason, [record](FARPROC entry, DWORD* reasons) {
        return reinterpret_cast<CompatibilityCheckFn>(entry)(record, HKEY_CURRENT_USER, reasons);
    });
}

STDMETHODIMP Cgtb::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          UINT* argErr) {
    common::DispatchArgs args;
    HRESULT hr = args.Init(params, 2, argErr);
    if (FAILED(hr)) return hr;
    if (result) ::VariantInit(result);
    ::SetErrorInfo(0, nullptr);
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
    LONG record = 0;
    RETURN_IF_FAILED(args.I4At(0, &record, argErr));
    LONG* reason = ReasonTarget(args.At(1));
    if (!reason) {
        if (argErr) *argErr = args.IndexOf(1);
        return DISP_E_TYPEMISMATCH;
    }
    hr = shouldOffer(record, reason);
    if (FAILED(hr)) common::FillExcepInfo(excep, hr);
    return hr;
}
