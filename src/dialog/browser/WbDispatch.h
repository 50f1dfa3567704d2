#pragma once
// The script bridge: the object pages reach as window.external. Four methods, named
// without regard to case: checkconnection (1100), showoffer (1101), hideoffer (1102)
// and checkoffer (1103); the offer calls go to the window's offer wrapper.
#include <windows.h>
#include <oaidl.h>

#include "dialog/browser/WbHostObject.h"

namespace stagehand {

class BrowserHost;

class WbDispatch final : public WbHostObject<IDispatch> {
public:
    static constexpr DISPID kCheckConnection = 1100;
    static constexpr DISPID kShowOffer = 1101;
    static constexpr DISPID kHideOffer = 1102;
    static constexpr DISPID kCheckOffer = 1103;

    WbDispatch(IUnknown& identity, BrowserHost& host) noexcept : WbHostObject(identity), host_(host) {}

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    // One DISPID per name; an unknown name gets DISPID_UNKNOWN while the others are still
    // resolved, and the call then fails with DISP_E_UNKNOWNNAME.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    // Method calls of the four DISPIDs; anything else is reported on the debug output
    // and answered DISP_E_UNKNOWNLCID.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    HRESULT CheckConnection(const DISPPARAMS* params, VARIANT* result) noexcept;
    HRESULT ShowOffer(const DISPPARAMS* params, VARIANT* result);
    HRESULT HideOffer();
    HRESULT CheckOffer(VARIANT* result);

    BrowserHost& host_;
};

}  // namespace stagehand
