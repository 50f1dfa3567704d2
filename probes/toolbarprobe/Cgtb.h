#pragma once
// Cgtb: asks the toolbar vendor's library (gtapi_signed.dll) whether the toolbar may
// be offered.
#include <windows.h>
#include <ocidl.h>

#include "toolbarprobe.h"

#include "common/ClassInfo.h"
#include "common/ComObject.h"
#include "common/Dispatch.h"

class Cgtb : public common::ComObjectRoot, public common::NameTableDispatch<Igtb>, public common::ProvideClassInfoImpl {
public:
    Cgtb();
    ~Cgtb() override;

    COM_INTERFACE_MAP_BEGIN(Igtb)
    COM_INTERFACE(Igtb)
    COM_INTERFACE2(IDispatch, Igtb)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE_MAP_END()

    // Igtb. The incoming value of *reason is not read: it is always overwritten.
    STDMETHODIMP shouldOffer(LONG record, LONG* reason) override;

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

protected:
    const common::NameEntry* NameTable(size_t& size) const noexcept override;
};
