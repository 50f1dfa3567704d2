#include "common/ComModule.h"

#include "common/HResult.h"

#include <cstdlib>
#include <new>

namespace common {

ComModule* ComModule::current_ = nullptr;

ComModule::ComModule(const GUID& libid, const wchar_t* appId) noexcept : libid_(libid), appId_(appId) {
    current_ = this;
}

ComModule::~ComModule() { Term(); }

HRESULT ComModule::ModulePath(std::wstring& path) const {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(instance_, buf, MAX_PATH);
    if (n == 0) return HResultFromLastError();
    if (n >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buf, n);
    return S_OK;
}

HRESULT ComModule::GetTypeLib(ITypeLib** lib) {
    RETURN_IF_NULL(lib);
    *lib = nullptr;
    ScopedLock guard(lock_);
    if (!typeLib_) {
        std::wstring path;
        RETURN_IF_FAILED(ModulePath(path));
        RETURN_IF_FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib_.put()));
    }
    return typeLib_.CopyTo(lib);
}

HRESULT ComModule::GetTypeInfo(REFGUID guid, ITypeInfo** info) {
    RETURN_IF_NULL(info);
    *info = nullptr;
    {
        ScopedLock guard(lock_);
        for (auto& c : typeInfos_)
            if (c.guid == guid) return c.info.CopyTo(info);
    }
    ComPtr<ITypeLib> lib;
    RETURN_IF_FAILED(GetTypeLib(lib.put()));
    ComPtr<ITypeInfo> found;
    RETURN_IF_FAILED(lib->GetTypeInfoOfGuid(guid, found.put()));
    try {
        ScopedLock guard(lock_);
        typeInfos_.push_back({guid, found});
    } catch (const std::bad_alloc&) {
        // Not cached: still usable.
    }
    return found.CopyTo(info);
}

void ComModule::AddTermFunc(void (*fn)(void*), void* arg) {
    ScopedLock guard(lock_);
    termFuncs_.push_back({fn, arg});
}

void ComModule::Term() noexcept {
    std::vector<TermFunc> funcs;
    {
        ScopedLock guard(lock_);
        funcs.swap(termFuncs_);
    }
    for (auto it = funcs.rbegin(); it != funcs.rend(); ++it) it->fn(it->arg);
    ScopedLock guard(lock_);
    typeInfos_.clear();
    typeLib_.reset();
}

}  // namespace common

// An exception that escapes ends the process without the verbose report, whose C++
// name demangler would otherwise add some 80 KB to every server. (Defined here because
// this object is linked into every server; the runtime's own handler is then unused.)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
