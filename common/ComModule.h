#pragma once
// The module object of an in-process COM server: instance handle, lock count,
// type library and the clean-up of objects that live until the DLL unloads.
#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"

namespace common {

class ComModule {
public:
    ComModule(const GUID& libid, const wchar_t* appId) noexcept;
    ~ComModule();
    ComModule(const ComModule&) = delete;
    ComModule& operator=(const ComModule&) = delete;

    // The module of the DLL this code is linked into.
    static ComModule& Current() noexcept { return *current_; }

    void SetInstance(HINSTANCE instance) noexcept { instance_ = instance; }
    HINSTANCE Instance() const noexcept { return instance_; }
    const GUID& Libid() const noexcept { return libid_; }
    const wchar_t* AppId() const noexcept { return appId_; }

    LONG Lock() noexcept { return ::InterlockedIncrement(&locks_); }
    LONG Unlock() noexcept { return ::InterlockedDecrement(&locks_); }
    LONG LockCount() const noexcept { return locks_; }

    // Full path of the module, failing with 0x8007007A when it fills MAX_PATH.
    HRESULT ModulePath(std::wstring& path) const;

    // Type information from the module's embedded type library (TYPELIB resource 1), cached.
    HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** info);
    HRESULT GetTypeLib(ITypeLib** lib);

    // Releases run when the module is torn down (singletons, cached type information).
    void AddTermFunc(void (*fn)(void*), void* arg);
    void Term() noexcept;

private:
    static ComModule* current_;
    HINSTANCE instance_ = nullptr;
    GUID libid_;
    const wchar_t* appId_;
    volatile LONG locks_ = 0;
    CriticalSection lock_;
    ComPtr<ITypeLib> typeLib_;
    struct CachedInfo {
        GUID guid;
        ComPtr<ITypeInfo> info;
    };
    std::vector<CachedInfo> typeInfos_;
    struct TermFunc {
        void (*fn)(void*);
        void* arg;
    };
    std::vector<TermFunc> termFuncs_;
};

}  // namespace common
