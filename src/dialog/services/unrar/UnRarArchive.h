#pragma once
// An archive opened through the bound UnRAR.dll.
#include <windows.h>

#include "dialog/services/unrar/UnRarLibrary.h"

namespace unrar {

// An open archive, closed through the library when it goes out of scope.
class Archive {
public:
    // Opens `path` in `mode`; Open() reports whether the library accepted it.
    Archive(const Library& lib, const wchar_t* path, UINT mode) noexcept;
    ~Archive() { Close(); }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool Open() const noexcept { return handle_ != nullptr; }
    HANDLE get() const noexcept { return handle_; }
    void Close() noexcept;

private:
    const Library& lib_;
    HANDLE handle_ = nullptr;
};

}  // namespace unrar
