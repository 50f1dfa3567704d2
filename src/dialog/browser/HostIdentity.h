#pragma once
// The COM identity the browser host shows the browsers: one reference count, starting
// at 0, for the five host objects. Its QueryInterface hands out the object for each
// interface; when the last reference goes, the owner window deletes itself, so the
// browsers' references to the host keep the window alive.
#include <windows.h>
#include <unknwn.h>

#include "dialog/browser/WbClientSite.h"
#include "dialog/browser/WbDispatch.h"
#include "dialog/browser/WbDocHostUIHandler.h"
#include "dialog/browser/WbInternetSecurityManager.h"
#include "dialog/browser/WbServiceProvider.h"

namespace stagehand {

class BrowserHost;
class BrowserHostOwner;

class HostIdentity final : public IUnknown {
public:
    HostIdentity(BrowserHost& host, BrowserHostOwner& owner) noexcept;
    HostIdentity(const HostIdentity&) = delete;
    HostIdentity& operator=(const HostIdentity&) = delete;
    ~HostIdentity() = default;

    // IUnknown, IOleClientSite, IServiceProvider, IInternetSecurityManager,
    // IDocHostUIHandler and IDispatch, each AddRef'd; E_INVALIDARG for a null out-pointer.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    // Taking the count from 1 to 0 tells the owner, which deletes the window and with it
    // this object.
    STDMETHODIMP_(ULONG) Release() override;

    WbClientSite& ClientSite() noexcept { return clientSite_; }

    // A reference of the host's own while it hands a host object to a browser, so the
    // browser's passing references can't take the count to 0 on the way. Dropping it
    // tells the owner nothing: a browser that kept no reference leaves the count where
    // it was before.
    void Hold() noexcept;
    void Unhold() noexcept;

private:
    volatile LONG refs_ = 0;
    BrowserHostOwner& owner_;
    WbClientSite clientSite_;
    WbServiceProvider serviceProvider_;
    WbInternetSecurityManager securityManager_;
    WbDocHostUIHandler uiHandler_;
    WbDispatch bridge_;
};

}  // namespace stagehand
