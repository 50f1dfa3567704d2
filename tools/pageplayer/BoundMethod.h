#pragma once
// A method of a script object read as a value (`var f = window.alert`): calling the
// value calls the method on its object.
#include <windows.h>
#include <oaidl.h>

#include "common/ComObject.h"
#include "common/ComPtr.h"

namespace pageplayer {

class BoundMethod : public IDispatch, public common::ComObjectRoot {
public:
    static HRESULT Create(IDispatch* target, DISPID id, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatch)
    COM_INTERFACE(IDispatch)
    COM_INTERFACE_MAP_END()

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    common::ComPtr<IDispatch> target_;
    DISPID id_ = DISPID_UNKNOWN;
};

}  // namespace pageplayer
