#pragma once
// The module object of an in-process COM server: instance handle, lock count,
// type library and the clean-up of objects that live until the DLL unloads.
#include <windows.h>
#include <oaidl.h>

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
    HRESULT ModulePath(wchar_t (&path)[MAX_PATH]) const noexcept;

    // Type information from the module's embedded type library (TYPELIB resource 1), cached.
    HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** info) noexcept;
    HRESULT GetTypeLib(ITypeLib** lib) noexcept;

    // Releases run when the module is torn down (singletons, cached type information),
    // the last added first. A module has a handful (one per singleton class); past
    // kMaxTermFuncs the function is not kept and E_OUTOFMEMORY is returned.
    static constexpr size_t kMaxTermFuncs = 32;
    HRESULT AddTermFunc(void (*fn)(void*), void* arg) noexcept;
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
    // One entry per interface the module's classes describe; more are looked up each time.
    static constexpr size_t kMaxCachedInfos = 32;
    CachedInfo typeInfos_[kMaxCachedInfos];
    size_t typeInfoCount_ = 0;
    struct TermFunc {
        void (*fn)(void*);
        void* arg;
    };
    TermFunc termFuncs_[kMaxTermFuncs] = {};
    size_t termFuncCount_ = 0;
};

}  // namespace common
