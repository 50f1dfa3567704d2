#pragma once
// The security manager the page's script engine consults before it creates an ActiveX
// object (`new ActiveXObject(...)`): the host's own security manager decides for the
// page's address, as it would in the platform's browser. When the host leaves the
// object-safety question to the browser, the answer follows the browser's rule: allowed
// when the host allows scripting of unsafe controls, or allows scripting of safe ones
// and the object is marked safe for scripting.
#include <windows.h>
#include <urlmon.h>

#include <memory>

#include "common/ComObject.h"
#include "common/ComPtr.h"

namespace pageplayer {

class Page;

class HostSecurity : public IInternetHostSecurityManager, public common::ComObjectRoot {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, common::ComPtr<IInternetHostSecurityManager>& out);

    COM_INTERFACE_MAP_BEGIN(IInternetHostSecurityManager)
    COM_INTERFACE(IInternetHostSecurityManager)
    COM_INTERFACE_MAP_END()

    STDMETHODIMP GetSecurityId(BYTE* id, DWORD* size, DWORD_PTR reserved) override;
    STDMETHODIMP ProcessUrlAction(DWORD action, BYTE* policy, DWORD policySize, BYTE* context, DWORD contextSize,
                                  DWORD flags, DWORD reserved) override;
    STDMETHODIMP QueryCustomPolicy(REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context, DWORD contextSize,
                                   DWORD reserved) override;

private:
    DWORD ConfirmSafety(const CONFIRMSAFETY& cs);

    std::weak_ptr<Page> page_;
};

}  // namespace pageplayer
