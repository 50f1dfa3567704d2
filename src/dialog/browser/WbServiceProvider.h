#pragma once
// The services the host offers the browser: only its security manager.
#include <windows.h>
#include <servprov.h>

#include "dialog/browser/WbHostObject.h"

namespace stagehand {

class WbServiceProvider final : public WbHostObject<IServiceProvider> {
public:
    using WbHostObject::WbHostObject;

    // The security manager when both the service and the interface are
    // IInternetSecurityManager; anything else: null, E_NOINTERFACE.
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override;
};

}  // namespace stagehand
