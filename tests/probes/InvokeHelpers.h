#pragma once
// Raw IDispatch::Invoke calls for the probe tests: arguments given as the caller
// stores them (rgvarg order, named ones first), with named-argument DISPIDs.
#include <windows.h>
#include <oaidl.h>

#include <vector>

struct RawCall {
    std::vector<VARIANT> stored;  // rgvarg: named arguments first, then positional last to first
    std::vector<DISPID> named;    // DISPIDs of stored[0..named.size())
    WORD flags = DISPATCH_METHOD;
    bool noParams = false;        // pass no DISPPARAMS at all
};

struct RawResult {
    HRESULT hr = E_FAIL;
    VARIANT result;
    UINT argErr = 0xFFFFFFFF;
};

inline RawResult InvokeRaw(IDispatch* d, DISPID id, RawCall call) {
    RawResult r;
    ::VariantInit(&r.result);
    DISPPARAMS dp = {call.stored.empty() ? nullptr : call.stored.data(), call.named.empty() ? nullptr : call.named.data(),
                     static_cast<UINT>(call.stored.size()), static_cast<UINT>(call.named.size())};
    r.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, call.noParams ? nullptr : &dp, &r.result, nullptr,
                     &r.argErr);
    for (auto& v : call.stored) ::VariantClear(&v);
    return r;
}

// VT_BYREF | VT_I4 pointing at *p.
inline VARIANT RefI4(LONG* p) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = p;
    return v;
}
