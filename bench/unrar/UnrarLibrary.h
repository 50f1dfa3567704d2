#pragma once
// UnRAR.dll loaded with LoadLibrary and its entry points resolved by their published,
// undecorated names, exactly as a client binds it.
#include <windows.h>

#include <string>

#include "common/Handle.h"
#include "unrar/UnrarApi.h"

namespace unrartest {

class UnrarLibrary {
public:
    // Loads the library at `path` (the build's UnRAR.dll when empty).
    explicit UnrarLibrary(const std::wstring& path = std::wstring());
    bool loaded() const { return module_.valid() && missing_.empty(); }
    // Names of entry points that failed to resolve, space separated.
    const std::string& missing() const { return missing_; }
    HMODULE module() const { return module_.get(); }

    RAROpenArchiveFn OpenArchive = nullptr;
    RAROpenArchiveExFn OpenArchiveEx = nullptr;
    RARCloseArchiveFn CloseArchive = nullptr;
    RARReadHeaderFn ReadHeader = nullptr;
    RARReadHeaderExFn ReadHeaderEx = nullptr;
    RARProcessFileFn ProcessFile = nullptr;
    RARProcessFileWFn ProcessFileW = nullptr;
    RARSetCallbackFn SetCallback = nullptr;
    RARSetPasswordFn SetPassword = nullptr;
    RARGetDllVersionFn GetDllVersion = nullptr;

    // Owner of an archive handle: closes it with RARCloseArchive.
    class Archive {
    public:
        Archive(UnrarLibrary& lib, HANDLE h) : lib_(lib), h_(h) {}
        ~Archive() { Close(); }
        Archive(const Archive&) = delete;
        Archive& operator=(const Archive&) = delete;
        HANDLE get() const { return h_; }
        explicit operator bool() const { return h_ != nullptr; }
        int Close() {
            HANDLE h = h_;
            h_ = nullptr;
            return h ? lib_.CloseArchive(h) : ERAR_SUCCESS;
        }

    private:
        UnrarLibrary& lib_;
        HANDLE h_;
    };

    // Opens with RAROpenArchiveEx and the wide name; `result` receives OpenResult.
    HANDLE Open(const std::wstring& archive, unsigned mode, unsigned* result = nullptr);

private:
    template <class Fn>
    void Resolve(Fn& fn, const char* name);

    common::UniqueModule module_;
    std::string missing_;
};

}  // namespace unrartest
