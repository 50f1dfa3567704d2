#include "tools/pageplayer/UrlPolicy.h"

#include <servprov.h>

namespace pageplayer {

namespace {

// An answer of ProcessUrlAction: its permission, or DISALLOW when the call failed.
DWORD Permission(HRESULT hr, DWORD policy) {
    if (FAILED(hr)) return URLPOLICY_DISALLOW;
    return GetUrlPolicyPermissions(policy);
}

}  // namespace

common::ComPtr<IInternetSecurityManager> UrlPolicy::HostManager(IOleClientSite* site) {
    if (!site) return nullptr;
    common::ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(__uuidof(IServiceProvider), services.put_void()))) return nullptr;
    common::ComPtr<IInternetSecurityManager> manager;
    if (FAILED(services->QueryService(SID_SInternetSecurityManager, __uuidof(IInternetSecurityManager),
                                      manager.put_void())))
        return nullptr;
    return manager;
}

DWORD UrlPolicy::Decide(IOleClientSite* site, const std::wstring& url, DWORD action, BYTE* context,
                        DWORD contextSize) {
    if (auto host = HostManager(site)) {
        DWORD policy = URLPOLICY_DISALLOW;
        HRESULT hr = host->ProcessUrlAction(url.c_str(), action, reinterpret_cast<BYTE*>(&policy), sizeof(policy),
                                            context, contextSize, PUAF_NOUI, 0);
        if (hr != INET_E_DEFAULT_ACTION) return Permission(hr, policy);
    }
    common::ComPtr<IInternetSecurityManager> zones;
    if (FAILED(::CoInternetCreateSecurityManager(nullptr, zones.put(), 0))) return URLPOLICY_DISALLOW;
    DWORD policy = URLPOLICY_DISALLOW;
    HRESULT hr = zones->ProcessUrlAction(url.c_str(), action, reinterpret_cast<BYTE*>(&policy), sizeof(policy), context,
                                         contextSize, PUAF_NOUI, 0);
    return Permission(hr, policy);
}

}  // namespace pageplayer
