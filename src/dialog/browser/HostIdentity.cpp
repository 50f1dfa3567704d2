#include "dialog/browser/HostIdentity.h"

#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include <algorithm>
#include <vector>

#include "common/CriticalSection.h"
#include "dialog/browser/BrowserHostOwner.h"

namespace stagehand {

namespace {

// The identities of the hosts alive in this process.
struct LiveHosts {
    common::CriticalSection lock;
    std::vector<const IUnknown*> identities;
};

LiveHosts& Hosts() {
    static LiveHosts hosts;
    return hosts;
}

}  // namespace

HostIdentity::HostIdentity(BrowserHost& host, BrowserHostOwner& owner) noexcept
    : owner_(owner),
      clientSite_(*this),
      serviceProvider_(*this),
      securityManager_(*this),
      uiHandler_(*this),
      bridge_(*this, host) {
    LiveHosts& hosts = Hosts();
    common::ScopedLock guard(hosts.lock);
    try {
        hosts.identities.push_back(this);
    } catch (...) {
        // Out of memory: the host works, but its pages are not recognized as the
        // installer's and objects sited by them refuse their callers.
    }
}

HostIdentity::~HostIdentity() {
    LiveHosts& hosts = Hosts();
    common::ScopedLock guard(hosts.lock);
    auto& ids = hosts.identities;
    ids.erase(std::remove(ids.begin(), ids.end(), static_cast<const IUnknown*>(this)), ids.end());
}

bool HostIdentity::IsLive(const IUnknown* identity) noexcept {
    if (!identity) return false;
    LiveHosts& hosts = Hosts();
    common::ScopedLock guard(hosts.lock);
    const auto& ids = hosts.identities;
    return std::find(ids.begin(), ids.end(), identity) != ids.end();
}

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
