#include "dialog/services/unrar/UnRarArchive.h"

#include <string>

namespace unrar {

Archive::Archive(const Library& lib, const wchar_t* path, UINT mode) noexcept : lib_(lib) {
    RAROpenArchiveDataEx request;
    ZeroMemory(&request, sizeof request);
    std::wstring name(path ? path : L"");
    request.ArcNameW = &name[0];
    request.OpenMode = mode;
    HANDLE h = lib_.OpenArchiveEx(&request);
    // A handle without a zero open result is not an open archive (the library frees
    // what it could not open), and neither is a zero result without a handle.
    if (request.OpenResult == 0 && h) handle_ = h;
}

void Archive::Close() noexcept {
    if (handle_) lib_.CloseArchive(handle_);
    handle_ = nullptr;
}

}  // namespace unrar
