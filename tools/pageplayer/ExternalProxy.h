#pragma once
// window.external as the page sees it: the host's external object behind a proxy that
// passes every name lookup and call through unchanged and writes each call, with its
// arguments and its HRESULT and result, to the event log.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>

#include "common/ComObject.h"
#include "common/ComPtr.h"

namespace pageplayer {

class ExternalProxy : public IDispatch, public common::ComObjectRoot {
public:
    static HRESULT Create(IDispatch* host, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatch)
    COM_INTERFACE(IDispatch)
    COM_INTERFACE_MAP_END()

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    void LogCall(DISPID id, WORD flags, const DISPPARAMS* params, HRESULT hr, const VARIANT* result,
                 const EXCEPINFO* excep) const;

    common::ComPtr<IDispatch> host_;
    std::map<DISPID, std::wstring> names_;
};

}  // namespace pageplayer
