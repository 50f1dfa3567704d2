#pragma once
// IObjectWithSite for the classes that pages may create (those registered as safe for
// scripting), locking each object to the pages it may serve.
//
// An object nobody sites (the engine, a script host, a C++ caller) serves everyone, as it
// always has. A site given by a page's script engine is judged once, when SetSite is
// called (SiteOrigin::Trusted): a page of the installer's window or a local file under the
// installer's folder leaves the object usable; any other page makes every method of the
// object answer E_ACCESSDENIED.
//
// SetSite(nullptr) releases the site but keeps the verdict: an object that a foreign page
// was refused stays refused, because that page still holds the object and would otherwise
// get a usable one back once its container un-sites it; an object that was allowed stays
// allowed (unsited it would be anyway). Only a new site decides again. The page-state
// object is a singleton shared with the engine, so the verdict of the last page that sited
// it is the verdict for every caller in the process: a refused page also locks the engine
// out, which is the safe side.
#include <windows.h>
#include <ocidl.h>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"

namespace stagehand {

class SiteLock : public IObjectWithSite {
public:
    // Keeps the site (AddRef'd; null releases it) and judges it. Always S_OK.
    STDMETHODIMP SetSite(IUnknown* site) override;
    // The site's interface riid; E_FAIL with a null pointer when there is no site;
    // E_POINTER for a null out-pointer.
    STDMETHODIMP GetSite(REFIID riid, void** site) override;

    // S_OK while callers may use the object, E_ACCESSDENIED once a site was refused.
    HRESULT SiteAccess() const noexcept { return refused_ ? E_ACCESSDENIED : S_OK; }

protected:
    SiteLock() = default;
    ~SiteLock() = default;
    SiteLock(const SiteLock&) = delete;
    SiteLock& operator=(const SiteLock&) = delete;

private:
    common::CriticalSection lock_;
    common::ComPtr<IUnknown> site_;
    volatile LONG refused_ = 0;
};

}  // namespace stagehand
