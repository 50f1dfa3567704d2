// pageplayer.dll: the module object, the one class and the exported entry points.
#include <windows.h>

#include <string>

#include "common/ClassFactory.h"
#include "common/ComModule.h"
#include "common/HResult.h"
#include "tools/pageplayer/CPagePlayer.h"
#include "tools/pageplayer/PlayerIds.h"
#include "tools/pageplayer/PlayerRegistration.h"

namespace {

common::ComModule g_module(GUID_NULL, L"");
common::ClassFactory<pageplayer::CPagePlayer> g_factory;
const common::ClassObjectEntry kClasses[] = {{&pageplayer::kWebBrowserClassId, &g_factory}};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module.SetInstance(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_module.LockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return common::GetClassObjectFromTable(kClasses, 1, clsid, riid, ppv);
}

STDAPI DllRegisterServer() {
    return common::NoThrow([]() -> HRESULT {
        wchar_t path[MAX_PATH];
        HRESULT hr = g_module.ModulePath(path);
        return FAILED(hr) ? hr : pageplayer::PlayerRegistration::Register(path);
    });
}

STDAPI DllUnregisterServer() {
    return common::NoThrow([]() -> HRESULT {
        wchar_t path[MAX_PATH];
        HRESULT hr = g_module.ModulePath(path);
        return FAILED(hr) ? hr : pageplayer::PlayerRegistration::Unregister(path);
    });
}
