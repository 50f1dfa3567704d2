#include "dialog/sitelock/SiteLock.h"

#include <string>

#include "common/DebugLog.h"
#include "dialog/sitelock/SiteOrigin.h"

namespace stagehand {

STDMETHODIMP SiteLock::SetSite(IUnknown* site) {
    // The site is judged before the lock is taken: judging calls into the container.
    const bool refuse = site && !SiteOrigin::Trusted(site);
    if (refuse) {
        try {
            common::DebugLine() << "SiteLock::SetSite refused " << SiteOrigin::PageUrl(site).c_str() << "\n";
        } catch (...) {
        }
    }
    common::ComPtr<IUnknown> previous;
    {
        common::ScopedLock guard(lock_);
        previous = std::move(site_);
        site_ = site;
        if (site) ::InterlockedExchange(&refused_, refuse ? 1 : 0);
    }
    // The old site is released outside the lock: its release may call back into us.
    previous.reset();
    return S_OK;
}

STDMETHODIMP SiteLock::GetSite(REFIID riid, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    common::ComPtr<IUnknown> current;
    {
        common::ScopedLock guard(lock_);
        current = site_;
    }
    if (!current) return E_FAIL;
    return current->QueryInterface(riid, site);
}

}  // namespace stagehand
