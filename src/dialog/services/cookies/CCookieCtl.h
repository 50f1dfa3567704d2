#pragma once

#include "dialog/module/StagehandTypes.h"

#include "common/TableDispatch.h"

class CCookieCtl : public common::ComObjectRoot,
    public common::TableDispatch<CCookieCtl, ICookieCtl>,
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

    // The late-bound members: names, DISPIDs, argument counts and conversions.
    static const common::DispatchTable<CCookieCtl> kDispatchTable;
};
