// deckprobe.dll: module object, class table and the exported entry points.
#include <windows.h>

#include "CDeckProbe.h"
#include "common/ServerModule.h"

namespace {

const wchar_t kAppId[] = L"{86CE3C9D-69B4-48AD-BFF9-63C260B8BA5E}";

const common::ServerRegistration kServer = {kAppId, L"deckprobe", &LIBID_DeckProbe};

common::ClassFactory<CDeckProbe> probeFactory;

const common::ServerClass kClasses[] = {
    {{&CLSID_DeckProbe, L"DeckProbe.Probe.1", L"DeckProbe.Probe", L"DeckProbe Object", L"Apartment"}, &probeFactory},
};

common::ServerModule deckProbeModule(kServer, kClasses, sizeof kClasses / sizeof kClasses[0]);

}  // namespace

COMMON_DEFINE_SERVER_EXPORTS(deckProbeModule)
