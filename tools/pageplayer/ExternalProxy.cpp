#include "tools/pageplayer/ExternalProxy.h"

#include <new>

#include "common/Variant.h"
#include "tools/pageplayer/EventLog.h"

namespace pageplayer {

HRESULT ExternalProxy::Create(IDispatch* host, common::ComPtr<IDispatch>& out) {
    if (!host) return E_POINTER;
    auto* obj = new (std::nothrow) common::ComObject<ExternalProxy>();
    if (!obj) return E_OUTOFMEMORY;
    obj->host_ = host;
    out = static_cast<IDispatch*>(obj);
    return S_OK;
}

STDMETHODIMP ExternalProxy::GetTypeInfoCount(UINT* count) { return host_->GetTypeInfoCount(count); }

STDMETHODIMP ExternalProxy::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return host_->GetTypeInfo(index, lcid, info);
}

STDMETHODIMP ExternalProxy::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    HRESULT hr = host_->GetIDsOfNames(riid, names, count, lcid, ids);
    try {
        if (names && ids && count > 0) {
            if (ids[0] != DISPID_UNKNOWN) names_[ids[0]] = names[0] ? names[0] : L"";
            if (FAILED(hr))
                EventLog::Write(L"external", std::wstring(names[0] ? names[0] : L"") + L" unknown name " +
                                                 EventLog::Hex(static_cast<DWORD>(hr)));
        }
    } catch (...) {
        // Logging only.
    }
    return hr;
}

STDMETHODIMP ExternalProxy::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    // The page asks for a result even when the host's method has none: keep our own
    // slot so the log can show what came back.
    common::Variant own;
    VARIANT* slot = result ? result : own.get();
    HRESULT hr = host_->Invoke(id, riid, lcid, flags, params, slot, excep, argErr);
    LogCall(id, flags, params, hr, slot, excep);
    return hr;
}

void ExternalProxy::LogCall(DISPID id, WORD flags, const DISPPARAMS* params, HRESULT hr, const VARIANT* result,
                            const EXCEPINFO* excep) const {
    try {
        auto found = names_.find(id);
        std::wstring text = found != names_.end() ? found->second : L"#" + std::to_wstring(id);
        const UINT named = params ? params->cNamedArgs : 0;
        const UINT count = params ? params->cArgs : 0;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            text += L" = " + (count > 0 ? EventLog::Format(params->rgvarg[0]) : std::wstring());
        } else if (flags & DISPATCH_METHOD) {
            text += L"(";
            for (UINT i = named; i < count; ++i) {
                if (i > named) text += L", ";
                text += EventLog::Format(params->rgvarg[count - 1 - (i - named)]);
            }
            text += L")";
        }
        text += L" " + EventLog::Hex(static_cast<DWORD>(hr == DISP_E_EXCEPTION && excep && excep->scode ? excep->scode : hr));
        if (SUCCEEDED(hr) && result && result->vt != VT_EMPTY) text += L" " + EventLog::Format(*result);
        EventLog::Write(L"external", text);
    } catch (...) {
        // Logging only.
    }
}

}  // namespace pageplayer
