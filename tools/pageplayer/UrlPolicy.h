#pragma once
// URL action decisions as a browser takes them: the host's security manager (client
// site -> IServiceProvider -> SID_SInternetSecurityManager) decides first; when there is
// none, or it answers INET_E_DEFAULT_ACTION, the platform's zone settings decide.
#include <windows.h>
#include <ocidl.h>
#include <urlmon.h>

#include <string>

#include "common/ComPtr.h"

namespace pageplayer {

class UrlPolicy {
public:
    // The host's security manager, or null.
    static common::ComPtr<IInternetSecurityManager> HostManager(IOleClientSite* site);
    // URLPOLICY_ALLOW when the action is allowed for url, else the refusing policy
    // (URLPOLICY_DISALLOW when there was no usable answer).
    static DWORD Decide(IOleClientSite* site, const std::wstring& url, DWORD action, BYTE* context,
                        DWORD contextSize);
};

}  // namespace pageplayer
