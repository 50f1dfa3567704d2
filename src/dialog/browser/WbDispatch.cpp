#include "dialog/browser/WbDispatch.h"

#include <new>

#include "common/Format.h"
#include "common/DebugLog.h"
#include "dialog/browser/BrowserHost.h"

namespace stagehand {

namespace {

struct BridgeName {
    const wchar_t* name;
    DISPID id;
};
const BridgeName kNames[] = {
    {L"checkconnection", WbDispatch::kCheckConnection},
    {L"showoffer", WbDispatch::kShowOffer},
    {L"hideoffer", WbDispatch::kHideOffer},
    {L"checkoffer", WbDispatch::kCheckOffer},
};

DISPID Lookup(const wchar_t* name) noexcept {
    if (!name) return DISPID_UNKNOWN;
    for (const BridgeName& n : kNames)
        if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name, -1, n.name, -1) == CSTR_EQUAL) return n.id;
    return DISPID_UNKNOWN;
}

UINT ArgCount(const DISPPARAMS* params) noexcept { return params && params->rgvarg ? params->cArgs : 0; }

// Argument `fromLast` counted from the last one (0 is the last), as a VT_I4 value; 0
// when it is missing or of another type.
LONG IntArg(const DISPPARAMS* params, UINT fromLast) noexcept {
    if (fromLast >= ArgCount(params)) return 0;
    const VARIANT& v = params->rgvarg[fromLast];
    return v.vt == VT_I4 ? V_I4(&v) : 0;
}

void SetBool(VARIANT* result, bool value) noexcept {
    if (!result) return;
    ::VariantClear(result);
    result->vt = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

STDMETHODIMP WbDispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP WbDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WbDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = Lookup(names[i]);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP WbDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT*) {
    if ((flags & DISPATCH_METHOD) != 0) {
        try {
            switch (id) {
            case kCheckConnection: return CheckConnection(params, result);
            case kShowOffer: return ShowOffer(params, result);
            case kHideOffer: return HideOffer();
            case kCheckOffer: return CheckOffer(result);
            default: break;
            }
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
    // Property reads land here too, among them the browser's ambient-property requests.
    char line[64];
    common::FormatText(line, sizeof line, "dispIdMember 0x%lx not handled \n", static_cast<unsigned long>(id));
    common::DebugOut(line);
    return DISP_E_UNKNOWNLCID;
}

HRESULT WbDispatch::CheckConnection(const DISPPARAMS* params, VARIANT* result) noexcept {
    // The page only learns that it can talk to the host; the text is not used.
    if (ArgCount(params) == 0) return DISP_E_BADPARAMCOUNT;
    if (params->rgvarg[0].vt != VT_BSTR) return DISP_E_BADVARTYPE;
    SetBool(result, true);
    return S_OK;
}

HRESULT WbDispatch::ShowOffer(const DISPPARAMS* params, VARIANT* result) {
    // The next-to-last argument is the first coordinate, the last one the second: a
    // single argument becomes the second.
    const int first = IntArg(params, 1);
    const int second = IntArg(params, 0);
    SetBool(result, host_.ShowOfferWhenLoaded(first, second));
    return S_OK;
}

HRESULT WbDispatch::HideOffer() {
    host_.Owner().Offer().HideOffer();
    return S_OK;
}

HRESULT WbDispatch::CheckOffer(VARIANT* result) {
    SetBool(result, host_.Owner().Offer().CheckOffer());
    return S_OK;
}

}  // namespace stagehand
