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

HRESULT ComModule::ModulePath(wchar_t (&path)[MAX_PATH]) const noexcept {
    DWORD n = ::GetModuleFileNameW(instance_, path, MAX_PATH);
    if (n == 0) return HResultFromLastError();
    if (n >= MAX_PATH) {
        path[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    return S_OK;
}

HRESULT ComModule::GetTypeLib(ITypeLib** lib) noexcept {
    RETURN_IF_NULL(lib);
    *lib = nullptr;
    ScopedLock guard(lock_);
    if (!typeLib_) {
        wchar_t path[MAX_PATH];
        RETURN_IF_FAILED(ModulePath(path));
        RETURN_IF_FAILED(::LoadTypeLibEx(path, REGKIND_NONE, typeLib_.put()));
    }
    return typeLib_.CopyTo(lib);
}

HRESULT ComModule::GetTypeInfo(REFGUID guid, ITypeInfo** info) noexcept {
    RETURN_IF_NULL(info);
    *info = nullptr;
    {
        ScopedLock guard(lock_);
        for (size_t i = 0; i < typeInfoCount_; ++i)
            if (typeInfos_[i].guid == guid) return typeInfos_[i].info.CopyTo(info);
    }
    ComPtr<ITypeLib> lib;
    RETURN_IF_FAILED(GetTypeLib(lib.put()));
    ComPtr<ITypeInfo> found;
    RETURN_IF_FAILED(lib->GetTypeInfoOfGuid(guid, found.put()));
    {
        ScopedLock guard(lock_);
        bool cached = false;
        for (size_t i = 0; i < typeInfoCount_ && !cached; ++i) cached = typeInfos_[i].guid == guid;
        if (!cached && typeInfoCount_ < kMaxCachedInfos) {
            // (Another thread may have cached it meanwhile: then this copy is not kept.)
            typeInfos_[typeInfoCount_].guid = guid;
            typeInfos_[typeInfoCount_].info = found;
            ++typeInfoCount_;
        }
    }
    return found.CopyTo(info);
}

HRESULT ComModule::AddTermFunc(void (*fn)(void*), void* arg) noexcept {
    ScopedLock guard(lock_);
    if (termFuncCount_ == kMaxTermFuncs) return E_OUTOFMEMORY;
    termFuncs_[termFuncCount_++] = {fn, arg};
    return S_OK;
}

void ComModule::Term() noexcept {
    TermFunc funcs[kMaxTermFuncs];
    size_t count;
    {
        ScopedLock guard(lock_);
        count = termFuncCount_;
        for (size_t i = 0; i < count; ++i) funcs[i] = termFuncs_[i];
        termFuncCount_ = 0;
    }
    while (count > 0) {
        --count;
        funcs[count].fn(funcs[count].arg);
    }
    ScopedLock guard(lock_);
    while (typeInfoCount_) typeInfos_[--typeInfoCount_].info.reset();
    typeLib_.reset();
}

}  // namespace common

// An exception that escapes ends the process without the verbose report, whose C++
// name demangler would otherwise add some 80 KB to every server. (Defined here because
// this object is linked into every server; the runtime's own handler is then unused.)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
