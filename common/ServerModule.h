#pragma once
// The frame shared by our in-process automation servers: class-object lookup, unload
// check and self-registration driven by a module's tables.
#include <windows.h>

#include "common/ClassFactory.h"
#include "common/ComModule.h"
#include "common/Registration.h"

namespace common {

struct ServerClass {
    ClassRegistration registration;
    IClassFactory* factory;
};

// Classes marked safe for initialization and scripting, in the order they are
// added to and removed from the two component categories.
struct SafeClassList {
    const CLSID* const* clsids;
    size_t count;
};

class ServerModule : public ComModule {
public:
    ServerModule(const ServerRegistration& server, const ServerClass* classes, size_t classCount,
                 SafeClassList safe = {nullptr, 0}) noexcept;

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
    HRESULT CanUnloadNow() const noexcept { return LockCount() == 0 ? S_OK : S_FALSE; }

    // AppID keys, every class in table order, the type library, then the two categories.
    // The first failure ends registration with its HRESULT.
    HRESULT RegisterServer() noexcept;
    // Category memberships, classes and type library (going on past failures), then
    // the AppID keys, whose result is the result.
    HRESULT UnregisterServer() noexcept;

private:
    const ServerRegistration& server_;
    const ServerClass* classes_;
    size_t classCount_;
    SafeClassList safe_;
};

}  // namespace common

// Defines the DLL's entry points (DllMain and the four exports, undecorated through the
// module's .def) over one ServerModule object.
#define COMMON_DEFINE_SERVER_EXPORTS(module)                                              \
    extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {            \
        if (reason == DLL_PROCESS_ATTACH) {                                               \
            (module).SetInstance(instance);                                               \
            ::DisableThreadLibraryCalls(instance);                                        \
        }                                                                                 \
        return TRUE;                                                                      \
    }                                                                                     \
    STDAPI DllCanUnloadNow() { return (module).CanUnloadNow(); }                          \
    STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {                  \
        return (module).GetClassObject(clsid, riid, ppv);                                 \
    }                                                                                     \
    STDAPI DllRegisterServer() { return (module).RegisterServer(); }                      \
    STDAPI DllUnregisterServer() { return (module).UnregisterServer(); }
