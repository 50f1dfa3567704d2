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

// The service a page's objects ask the host for to learn that they are shown in the
// installer's own window: QueryService with this service id and IID_IUnknown hands out
// the host identity, which HostIdentity::IsLive then recognizes. No other container
// answers this id, and a container that answered it anyway could hand out nothing
// IsLive accepts: it compares against the identities alive in this process.
inline const GUID kInstallerHostService = {0x5d1f0c8e, 0x7a43, 0x4b9e, {0x9c, 0x2d, 0x41, 0xe6, 0x0b, 0x73, 0xa8, 0x15}};

class HostIdentity final : public IUnknown {
public:
    HostIdentity(BrowserHost& host, BrowserHostOwner& owner) noexcept;
    HostIdentity(const HostIdentity&) = delete;
    HostIdentity& operator=(const HostIdentity&) = delete;
    ~HostIdentity();

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

    // Whether identity (an IUnknown, compared as is) is the identity of a browser host
    // alive in this process.
    static bool IsLive(const IUnknown* identity) noexcept;

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
