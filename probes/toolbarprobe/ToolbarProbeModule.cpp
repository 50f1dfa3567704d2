// toolbarprobe.dll: module object, class table and the exported entry points.
#include <windows.h>

#include "Cgtb.h"
#include "common/ServerModule.h"

namespace {

const wchar_t kAppId[] = L"{1D947539-6085-485F-AEBC-97F6124CE951}";

const common::ServerRegistration kServer = {kAppId, L"toolbarprobe", &LIBID_toolbarprobe};

common::ClassFactory<Cgtb, common::Aggregation::Allowed> gtbFactory;

// Apartment-threaded: the platform calls the object on its creating apartment's thread.
const common::ServerClass kClasses[] = {
    {{&CLSID_Cgtb, L"toolbarprobe.gtb.1", L"toolbarprobe.gtb", L"Cgtb Object", L"apartment"}, &gtbFactory},
};

common::ServerModule toolbarProbeModule(kServer, kClasses, sizeof kClasses / sizeof kClasses[0]);

}  // namespace

COMMON_DEFINE_SERVER_EXPORTS(toolbarProbeModule)
