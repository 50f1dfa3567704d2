#pragma once
// The host's security manager: allows, without prompts and in every zone, the actions
// the installer's pages need (ActiveX controls, script, HTML features, applets, status
// text); everything else is left to the browser's zone settings.
#include <windows.h>
#include <urlmon.h>

#include "dialog/browser/WbHostObject.h"

namespace stagehand {

class WbInternetSecurityManager final : public WbHostObject<IInternetSecurityManager> {
public:
    using WbHostObject::WbHostObject;

    STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite* site) override;
    STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** site) override;
    STDMETHODIMP MapUrlToZone(LPCWSTR url, DWORD* zone, DWORD flags) override;
    STDMETHODIMP GetSecurityId(LPCWSTR url, BYTE* id, DWORD* idSize, DWORD_PTR reserved) override;
    STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE* context,
                                  DWORD contextSize, DWORD flags, DWORD reserved) override;
    STDMETHODIMP QueryCustomPolicy(LPCWSTR url, REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                                   DWORD contextSize, DWORD reserved) override;
    STDMETHODIMP SetZoneMapping(DWORD zone, LPCWSTR pattern, DWORD flags) override;
    STDMETHODIMP GetZoneMappings(DWORD zone, IEnumString** mappings, DWORD flags) override;

    // Whether the host decides the action (else the browser's zone settings do).
    static bool HostDecides(DWORD action) noexcept;
};

}  // namespace stagehand
