#include "dialog/browser/WbInternetSecurityManager.h"

namespace stagehand {

namespace {
struct ActionRange {
    DWORD first, last;
};
// ActiveX controls and plug-ins, scripting, HTML features, applet permissions
// (URLACTION_JAVA_MIN to URLACTION_JAVA_MAX) and script status-bar updates.
const ActionRange kHostRanges[] = {
    {0x1200, 0x13FF}, {0x1400, 0x15FF}, {0x1600, 0x17FF}, {0x1C00, 0x1CFF}, {0x2103, 0x2103},
};
}  // namespace

bool WbInternetSecurityManager::HostDecides(DWORD action) noexcept {
    for (const ActionRange& r : kHostRanges)
        if (action >= r.first && action <= r.last) return true;
    return false;
}

STDMETHODIMP WbInternetSecurityManager::ProcessUrlAction(LPCWSTR, DWORD action, BYTE* policy, DWORD policySize,
                                                         BYTE*, DWORD, DWORD, DWORD) {
    if (!HostDecides(action)) return INET_E_DEFAULT_ACTION;
    // A buffer too small for the policy, or none at all, gets nothing written.
    if (!policy || policySize < sizeof(DWORD)) return S_FALSE;
    const DWORD allow = URLPOLICY_ALLOW;
    ::CopyMemory(policy, &allow, sizeof allow);
    return S_OK;
}

STDMETHODIMP WbInternetSecurityManager::SetSecuritySite(IInternetSecurityMgrSite*) { return INET_E_DEFAULT_ACTION; }

STDMETHODIMP WbInternetSecurityManager::GetSecuritySite(IInternetSecurityMgrSite** site) {
    if (site) *site = nullptr;
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP WbInternetSecurityManager::MapUrlToZone(LPCWSTR, DWORD*, DWORD) { return INET_E_DEFAULT_ACTION; }

STDMETHODIMP WbInternetSecurityManager::GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) {
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP WbInternetSecurityManager::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* policySize, BYTE*,
                                                          DWORD, DWORD) {
    if (policy) *policy = nullptr;
    if (policySize) *policySize = 0;
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP WbInternetSecurityManager::SetZoneMapping(DWORD, LPCWSTR, DWORD) { return INET_E_DEFAULT_ACTION; }

STDMETHODIMP WbInternetSecurityManager::GetZoneMappings(DWORD, IEnumString** mappings, DWORD) {
    if (mappings) *mappings = nullptr;
    return INET_E_DEFAULT_ACTION;
}

}  // namespace stagehand
