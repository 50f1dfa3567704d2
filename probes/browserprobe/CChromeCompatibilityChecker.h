#pragma once
// CChromeCompatibilityChecker: asks the browser vendor's library (gcapi_dll.dll)
// whether the browser may be offered, and starts the installed browser.
#include <windows.h>
#include <ocidl.h>

#include "browserprobe.h"

#include "common/ClassInfo.h"
#include "common/ComObject.h"
#include "common/Dispatch.h"

class CChromeCompatibilityChecker : public common::ComObjectRoot,
                                    public common::NameTableDispatch<IChromeCompatibilityChecker>,
                                    public common::ProvideClassInfoImpl {
public:
    CChromeCompatibilityChecker();
    ~CChromeCompatibilityChecker() override;

    COM_INTERFACE_MAP_BEGIN(IChromeCompatibilityChecker)
    COM_INTERFACE(IChromeCompatibilityChecker)
    COM_INTERFACE2(IDispatch, IChromeCompatibilityChecker)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE_MAP_END()

    // IChromeCompatibilityChecker
    STDMETHODIMP ChromeCheck(LONG record, LONG* ret) override;
    STDMETHODIMP StartGoogleChrome() override;

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

protected:
    const common::NameEntry* NameTable(size_t& size) const noexcept override;
};
