#include "dialog/browser/HostIdentity.h"

#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include "dialog/browser/BrowserHostOwner.h"

namespace stagehand {

HostIdentity::HostIdentity(BrowserHost& host, BrowserHostOwner& owner) noexcept
    : owner_(owner),
      clientSite_(*this),
      serviceProvider_(*this),
      securityManager_(*this),
      uiHandler_(*this),
      bridge_(*this, host) {}

STDMETHODIMP HostIdentity::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    IUnknown* found = nullptr;
    if (riid == IID_IUnknown)
        found = this;
    else if (riid == IID_IOleClientSite)
        found = &clientSite_;
    else if (riid == __uuidof(IServiceProvider))
        found = &serviceProvider_;
    else if (riid == __uuidof(IInternetSecurityManager))
        found = &securityManager_;
    else if (riid == __uuidof(IDocHostUIHandler))
        found = &uiHandler_;
    else if (riid == IID_IDispatch)
        found = &bridge_;
    *ppv = found;
    if (!found) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) HostIdentity::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) HostIdentity::Release() {
    BrowserHostOwner& owner = owner_;
    LONG n = ::InterlockedDecrement(&refs_);
    // Nothing of this object may be touched after the owner has been told: it is gone.
    if (n == 0) owner.OnHostReleased();
    return static_cast<ULONG>(n);
}

void HostIdentity::Hold() noexcept { ::InterlockedIncrement(&refs_); }

void HostIdentity::Unhold() noexcept { ::InterlockedDecrement(&refs_); }

}  // namespace stagehand
