#include "dialog/services/unrar/UnRarLibrary.h"

#include "common/LibraryLoad.h"

namespace unrar {

namespace {
template <class Fn>
bool Lookup(HMODULE module, const char* name, Fn& out) noexcept {
    out = reinterpret_cast<Fn>(::GetProcAddress(module, name));
    return out != nullptr;
}
}  // namespace

DWORD Library::Bind(const wchar_t* path) noexcept {
    OpenArchiveEx = nullptr;
    ReadHeader = nullptr;
    SetCallback = nullptr;
    ProcessFileW = nullptr;
    CloseArchive = nullptr;
    module_.reset(common::LoadLibraryAt(path));
    if (!module_) {
        DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND;
    }
    HMODULE m = module_.get();
    if (!Lookup(m, "RAROpenArchiveEx", OpenArchiveEx) || !Lookup(m, "RARReadHeader", ReadHeader) ||
        !Lookup(m, "RARSetCallback", SetCallback) || !Lookup(m, "RARProcessFileW", ProcessFileW) ||
        !Lookup(m, "RARCloseArchive", CloseArchive)) {
        DWORD error = ::GetLastError();
        module_.reset();
        return error != ERROR_SUCCESS ? error : ERROR_PROC_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

}  // namespace unrar
