#pragma once

#include "StagehandTypes.h"

class CUnRar : public common::ComObjectRoot,
    public common::NameTableDispatch<IUnRar>,
    public common::ConnectionPointContainerImpl,
    public common::ProvideClassInfo2Impl {
public:
    CUnRar();
    ~CUnRar() override;

    COM_INTERFACE_MAP_BEGIN(IUnRar)
    COM_INTERFACE(IUnRar)
    COM_INTERFACE2(IDispatch, IUnRar)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE(IProvideClassInfo2)
    COM_INTERFACE2(IProvideClassInfo, IProvideClassInfo2)
    COM_INTERFACE_MAP_END()

    // IUnRar
    STDMETHODIMP Unpack(BSTR archive, BSTR destination) override;
    STDMETHODIMP PercentComplete(INT *percent) override;

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

protected:
    const common::NameEntry* NameTable(size_t& size) const noexcept override;
    common::ConnectionPoint* const* Points(size_t& count) noexcept override;

private:
    common::ConnectionPoint propertyNotify_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[2];
};
