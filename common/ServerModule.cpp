#include "common/ServerModule.h"

#include <comcat.h>

#include "common/HResult.h"

namespace common {

namespace {
// {7DD95802-9882-11CF-9FA9-00AA006C42C4} and {7DD95801-9882-11CF-9FA9-00AA006C42C4}
const GUID CATID_SafeForInitializing = {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const GUID CATID_SafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const wchar_t kInitDescription[] = L"Controls safely initializable from persistent data!";
const wchar_t kScriptDescription[] = L"Controls safely scriptable!";
}  // namespace

ServerModule::ServerModule(const ServerRegistration& server, const ServerClass* classes, size_t classCount,
                           SafeClassList safe) noexcept
    : ComModule(*server.libid, server.appId), server_(server), classes_(classes), classCount_(classCount), safe_(safe) {}

HRESULT ServerModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < classCount_; ++i) {
        if (*classes_[i].registration.clsid == clsid) return classes_[i].factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerModule::RegisterServer() noexcept {
    return NoThrow([this]() -> HRESULT {
        ComInit com;
        wchar_t path[MAX_PATH];
        RETURN_IF_FAILED(ModulePath(path));
        RETURN_IF_FAILED(RegisterAppId(server_));
        for (size_t i = 0; i < classCount_; ++i)
            RETURN_IF_FAILED(RegisterClassKeys(classes_[i].registration, server_, path));
        RETURN_IF_FAILED(RegisterTypeLibrary(path));
        if (safe_.count) {
            RETURN_IF_FAILED(RegisterCategory(CATID_SafeForInitializing, kInitDescription));
            for (size_t i = 0; i < safe_.count; ++i)
                RETURN_IF_FAILED(RegisterClassInCategory(*safe_.clsids[i], CATID_SafeForInitializing));
            RETURN_IF_FAILED(RegisterCategory(CATID_SafeForScripting, kScriptDescription));
            for (size_t i = 0; i < safe_.count; ++i)
                RETURN_IF_FAILED(RegisterClassInCategory(*safe_.clsids[i], CATID_SafeForScripting));
        }
        return S_OK;
    });
}

HRESULT ServerModule::UnregisterServer() noexcept {
    return NoThrow([this]() -> HRESULT {
        ComInit com;
        for (size_t i = 0; i < safe_.count; ++i) {
            LOG_IF_FAILED(UnregisterClassFromCategory(*safe_.clsids[i], CATID_SafeForInitializing));
            LOG_IF_FAILED(UnregisterClassFromCategory(*safe_.clsids[i], CATID_SafeForScripting));
        }
        for (size_t i = 0; i < classCount_; ++i) LOG_IF_FAILED(UnregisterClassKeys(classes_[i].registration));
        wchar_t path[MAX_PATH];
        if (SUCCEEDED(LOG_IF_FAILED(ModulePath(path)))) LOG_IF_FAILED(UnregisterTypeLibrary(path));
        return UnregisterAppId(server_);
    });
}

}  // namespace common
