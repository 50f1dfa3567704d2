#include "dialog/browser/WbServiceProvider.h"

#include <urlmon.h>

#include "dialog/browser/HostIdentity.h"

namespace stagehand {

STDMETHODIMP WbServiceProvider::QueryService(REFGUID service, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (service == __uuidof(IInternetSecurityManager) && riid == __uuidof(IInternetSecurityManager))
        return Identity().QueryInterface(riid, ppv);
    // The installer's own window, for objects its pages create (see HostIdentity).
    if (service == kInstallerHostService && riid == IID_IUnknown) return Identity().QueryInterface(riid, ppv);
    return E_NOINTERFACE;
}

}  // namespace stagehand
