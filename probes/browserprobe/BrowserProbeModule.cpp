// browserprobe.dll: module object, class table and the exported entry points.
#include <windows.h>

#include "CChromeCompatibilityChecker.h"
#include "common/ServerModule.h"

namespace {

const wchar_t kAppId[] = L"{7D10077E-0FF1-42E9-940A-CFFEE4DC7D63}";

const common::ServerRegistration kServer = {kAppId, L"browserprobe", &LIBID_browserprobe};

common::ClassFactory<CChromeCompatibilityChecker, common::Aggregation::Allowed> checkerFactory;

const common::ServerClass kClasses[] = {
    {{&CLSID_CChromeCompatibilityChecker, L"browserprobe.ChromeCompatibilityChecker.2",
      L"browserprobe.ChromeCompatibilityChecker", L"CChromeCompatibilityChecker Object", L"both"},
     &checkerFactory},
};

common::ServerModule browserProbeModule(kServer, kClasses, sizeof kClasses / sizeof kClasses[0]);

}  // namespace

COMMON_DEFINE_SERVER_EXPORTS(browserProbeModule)
