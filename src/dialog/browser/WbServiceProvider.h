#pragma once
// The services the host offers the browser: its security manager, and its identity to
// the objects of its pages that ask whether they are in the installer's window.
#include <windows.h>
#include <servprov.h>

#include "dialog/browser/WbHostObject.h"

namespace stagehand {

class WbServiceProvider final : public WbHostObject<IServiceProvider> {
public:
    using WbHostObject::WbHostObject;

    // The security manager when both the service and the interface are
    // IInternetSecurityManager; the host identity for kInstallerHostService with
    // IID_IUnknown; anything else: null, E_NOINTERFACE.
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override;
};

}  // namespace stagehand
