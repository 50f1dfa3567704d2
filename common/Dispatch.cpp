#include "common/Dispatch.h"

#include "common/Bstr.h"
#include "common/CriticalSection.h"
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

HRESULT CheckNameLookup(LPOLESTR* names, UINT count, const DISPID* ids) noexcept {
    if (count == 0 || !names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        if (!names[i]) return E_INVALIDARG;
    return S_OK;
}

namespace {

// Value types whose conversion VariantChangeType decides exactly as the type
// information's Invoke does.
bool IsPlainValueType(VARTYPE vt) noexcept {
    switch (vt) {
        case VT_I1: case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT:
        case VT_R4: case VT_R8: case VT_BOOL: case VT_BSTR: case VT_CY: case VT_DATE: case VT_ERROR:
            return true;
        default:
            return false;
    }
}

// What a call of one member may carry, read once from its description. Parameters past
// kCheckedParams are left to the platform.
constexpr UINT kCheckedParams = 32;
struct Signature {
    DISPID id;
    INVOKEKIND kind;
    bool varargs;
    UINT minArgs;
    UINT maxArgs;
    VARTYPE types[kCheckedParams];  // per argument position (retval left out); VT_EMPTY: not checked
    bool byRef[kCheckedParams];     // the parameter is a pointer to a value of that type
};

// The signatures of one type information. Sets are kept for the life of the process
// in a list the lock guards; the module keeps its type information as long, so the
// pointer identifies it.
struct SignatureSet {
    SignatureSet* next;
    ITypeInfo* ti;
    UINT count;
    Signature* items;
};

CriticalSection signaturesLock;
SignatureSet* signatureSets = nullptr;

void* HeapBlock(size_t size) noexcept { return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1); }

SignatureSet* ReadSignatures(ITypeInfo* ti) noexcept {
    TYPEATTR* attr = nullptr;
    if (FAILED(ti->GetTypeAttr(&attr)) || !attr) return nullptr;
    const WORD functions = attr->cFuncs;
    ti->ReleaseTypeAttr(attr);
    auto* set = static_cast<SignatureSet*>(HeapBlock(sizeof(SignatureSet)));
    auto* items = static_cast<Signature*>(HeapBlock(functions * sizeof(Signature)));
    if (!set || !items) {
        if (set) ::HeapFree(::GetProcessHeap(), 0, set);
        if (items) ::HeapFree(::GetProcessHeap(), 0, items);
        return nullptr;
    }
    set->ti = ti;
    set->items = items;
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &fd)) || !fd) continue;
        Signature& sig = items[set->count++];
        sig.id = fd->memid;
        sig.kind = fd->invkind;
        sig.varargs = fd->cParamsOpt < 0;
        for (SHORT p = 0; p < fd->cParams; ++p) {
            const USHORT pf = fd->lprgelemdescParam[p].paramdesc.wParamFlags;
            if (pf & PARAMFLAG_FRETVAL) continue;
            const TYPEDESC& desc = fd->lprgelemdescParam[p].tdesc;
            // A pointer to a plain value ([in] BSTR*, ...) takes a value of that type too.
            const bool pointer = desc.vt == VT_PTR && desc.lptdesc && IsPlainValueType(desc.lptdesc->vt);
            const VARTYPE vt = pointer ? desc.lptdesc->vt : desc.vt;
            if (sig.maxArgs < kCheckedParams) {
                sig.types[sig.maxArgs] = pointer || IsPlainValueType(vt) ? vt : static_cast<VARTYPE>(VT_EMPTY);
                sig.byRef[sig.maxArgs] = pointer;
            }
            ++sig.maxArgs;
            if (!(pf & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) sig.minArgs = sig.maxArgs;
        }
        ti->ReleaseFuncDesc(fd);
    }
    return set;
}

// The signatures of ti, read on first use; null when they could not be read.
const SignatureSet* SignaturesOf(ITypeInfo* ti) noexcept {
    ScopedLock guard(signaturesLock);
    for (SignatureSet* set = signatureSets; set; set = set->next)
        if (set->ti == ti) return set;
    SignatureSet* set = ReadSignatures(ti);
    if (set) {
        set->next = signatureSets;
        signatureSets = set;
    }
    return set;
}

// The member accepts `params`; argErr names the first argument (in the caller's
// order: 0 is the last one) that does not convert.
HRESULT CheckAgainst(const Signature& sig, const DISPPARAMS* params, UINT* argErr) noexcept {
    if (sig.varargs) return S_OK;
    const UINT given = params->cArgs;
    if (given > sig.maxArgs || given < sig.minArgs) return DISP_E_BADPARAMCOUNT;
    if (given && !params->rgvarg) return DISP_E_BADPARAMCOUNT;
    const UINT named = params->cNamedArgs;
    if (named > given || (named && !params->rgdispidNamedArgs)) return DISP_E_BADPARAMCOUNT;
    for (UINT j = 0; j < given; ++j) {
        // Positional argument j of the block is parameter given-1-j; a property put's
        // named value is the last parameter, another named argument the parameter its
        // DISPID numbers. A name no parameter has is refused here: the platform's
        // refusal would keep the arguments it had converted by then (objects included).
        UINT param;
        if (j < named) {
            const DISPID name = params->rgdispidNamedArgs[j];
            if (name == DISPID_PROPERTYPUT) {
                param = sig.maxArgs - 1;
            } else if (name >= 0 && static_cast<UINT>(name) < sig.maxArgs &&
                       static_cast<UINT>(name) >= given - named) {
                // (A parameter the positional arguments already fill can't be named too.)
                param = static_cast<UINT>(name);
            } else {
                if (argErr) *argErr = j;
                return DISP_E_PARAMNOTFOUND;
            }
        } else {
            param = given - 1 - j;
        }
        if (param >= kCheckedParams || sig.types[param] == VT_EMPTY) continue;
        const VARIANT* arg = &params->rgvarg[j];
        // A pointer parameter given a value gets a converted copy from the platform, and a
        // later argument it can't convert would leave that copy behind: values that can't
        // be converted are refused here first. Given a reference, it takes only a reference
        // to its own type: the platform converts no reference into another (a reference to
        // a VARIANT holding a text included) and refuses the call only after converting the
        // arguments before it, keeping those copies.
        if (sig.byRef[param] && (V_VT(arg) & VT_BYREF)) {
            if (V_VT(arg) == (VT_BYREF | sig.types[param])) continue;
            if (argErr) *argErr = j;
            return DISP_E_TYPEMISMATCH;
        }
        if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) arg = V_VARIANTREF(arg);
        if (!arg) return DISP_E_TYPEMISMATCH;
        VARIANT probe;
        ::VariantInit(&probe);
        const HRESULT hr = ::VariantChangeType(&probe, const_cast<VARIANT*>(arg), 0, sig.types[param]);
        ::VariantClear(&probe);
        if (FAILED(hr)) {
            if (argErr) *argErr = j;
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

}  // namespace

HRESULT CheckTypeInfoCall(ITypeInfo* ti, DISPID id, WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept {
    if (!params) return E_INVALIDARG;
    const SignatureSet* signatures = SignaturesOf(ti);
    if (!signatures) return S_OK;
    // A property get and put (or a method) may share the id: the call passes when any
    // description of the id that its flags name accepts it.
    HRESULT verdict = S_OK;
    for (UINT i = 0; i < signatures->count; ++i) {
        const Signature& sig = signatures->items[i];
        if (sig.id != id || !(sig.kind & flags)) continue;
        verdict = CheckAgainst(sig, params, argErr);
        if (SUCCEEDED(verdict)) return S_OK;
    }
    return verdict;
}

HRESULT CheckInvokeArgs(const DISPPARAMS* params, UINT maxArgs, VARIANT* result) noexcept {
    if (!params) return DISP_E_BADVARTYPE;
    if (params->cArgs > maxArgs) return DISP_E_BADPARAMCOUNT;
    // A count of arguments without the array that should hold them.
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
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
