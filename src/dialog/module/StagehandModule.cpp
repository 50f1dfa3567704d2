// stagehand.dll: module object, class table and the exported entry points.
#include "dialog/module/StagehandTypes.h"

#include "dialog/services/cookies/CCookieCtl.h"
#include "dialog/control/CInstallDlgCtl.h"
#include "dialog/services/processes/CProcessMgr.h"
#include "dialog/services/registry/CRegAccess.h"
#include "dialog/services/shell/CShellCtl.h"
#include "dialog/pagestate/CSlideState.h"
#include "dialog/services/unrar/CUnRar.h"
#include "common/ServerModule.h"

namespace {

using common::Aggregation;
using common::ClassFactory;
using common::SingletonClassFactory;

const wchar_t kAppId[] = L"{12631F96-F37E-4975-81D5-16E871EE557B}";
const wchar_t kBoth[] = L"both";

const common::ServerRegistration kServer = {kAppId, L"stagehand", &LIBID_stagehand};

SingletonClassFactory<CInstallDlgCtl> installDlgFactory;
SingletonClassFactory<CSlideState> slideStateFactory;
ClassFactory<CProcessMgr, Aggregation::Refused> processMgrFactory;
ClassFactory<CShellCtl, Aggregation::Refused> shellCtlFactory;
ClassFactory<CRegAccess, Aggregation::Refused> regAccessFactory;
SingletonClassFactory<CUnRar> unRarFactory;
ClassFactory<CCookieCtl, Aggregation::Refused> cookieCtlFactory;

const common::ServerClass kClasses[] = {
    {{&CLSID_CInstallDlgCtl, L"Stagehand.InstallDlgCtl", L"Stagehand.InstallDlgCtl", L"CInstallDlgCtl Object", kBoth},
     &installDlgFactory},
    {{&CLSID_CSlideState, L"DOZUvidaruve.StateCtrl.1", L"DOZUvidaruve.StateCtrl", L"CSlideState Object", kBoth},
     &slideStateFactory},
    {{&CLSID_CProcessMgr, L"PebbleUtil.ProcessMgr.1", L"PebbleUtil.ProcessMgr", L"CProcessMgr Object", kBoth},
     &processMgrFactory},
    {{&CLSID_CShellCtl, L"PebbleUtil.ShellCtl.1", L"PebbleUtil.ShellCtl", L"CShellCtl Object", kBoth}, &shellCtlFactory},
    {{&CLSID_CRegAccess, L"PebbleUtil.RegAccess.1", L"PebbleUtil.RegAccess", L"CRegAccess Object", kBoth},
     &regAccessFactory},
    {{&CLSID_CUnRar, L"PebbleUtil.UnRar.1", L"PebbleUtil.UnRar", L"CUnRar Object", kBoth}, &unRarFactory},
    {{&CLSID_CCookieCtl, L"PebbleUtil.CookieCtl.1", L"PebbleUtil.CookieCtl", L"CCookieCtl Object", kBoth},
     &cookieCtlFactory},
};

// Safe for initialization and scripting, in registration order.
const CLSID* const kSafeClasses[] = {&CLSID_CSlideState, &CLSID_CShellCtl, &CLSID_CProcessMgr};

// Declared after the factories: destroyed first at unload, releasing the singletons
// while their factories still exist.
common::ServerModule stagehandModule(kServer, kClasses, sizeof kClasses / sizeof kClasses[0],
                                     {kSafeClasses, sizeof kSafeClasses / sizeof kSafeClasses[0]});

}  // namespace

COMMON_DEFINE_SERVER_EXPORTS(stagehandModule)
