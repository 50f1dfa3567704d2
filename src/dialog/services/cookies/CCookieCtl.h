#pragma once

#include "dialog/module/StagehandTypes.h"

class CCookieCtl : public common::ComObjectRoot,
    public common::NameTableDispatch<ICookieCtl>,
    public common::ProvideClassInfoImpl {
public:
    CCookieCtl();
    ~CCookieCtl() override;

    COM_INTERFACE_MAP_BEGIN(ICookieCtl)
    COM_INTERFACE(ICookieCtl)
    COM_INTERFACE2(IDispatch, ICookieCtl)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE_MAP_END()

    // ICookieCtl
    STDMETHODIMP getCookie(BSTR bstrURL, BSTR *bstrValue) override;
    STDMETHODIMP getCookieItem(BSTR bstrURL, BSTR bstrItem, BSTR *bstrValue) override;

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

protected:
    const common::NameEntry* NameTable(size_t& size) const noexcept override;

private:
};
