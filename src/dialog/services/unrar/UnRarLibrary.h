#pragma once
// Run-time binding of UnRAR.dll: the five entry points the unpacker uses, resolved by
// their published names. The library is loaded afresh for each extraction and released
// when its owner goes out of scope. Records, codes and signatures come from the one
// declaration of the published interface that the extractor itself is built with.
#include <windows.h>

#include "common/Handle.h"
#include "unrar/UnrarApi.h"

namespace unrar {

// Old and new clients alike recognise a folder by all three folder bits being set.
inline bool IsDirectory(const RARHeaderData& h) noexcept {
    return (h.Flags & RHDF_LEGACY_DIRECTORY) == RHDF_LEGACY_DIRECTORY;
}

// The loaded library and its entry points.
class Library {
public:
    // Loads `path` (relative to the current folder, made absolute first so that no other
    // folder of the DLL search order supplies it) and looks up the five entry points.
    // Returns ERROR_SUCCESS, or the Win32 error of the failed load or lookup (the library
    // is then not held).
    DWORD Bind(const wchar_t* path) noexcept;

    RAROpenArchiveExFn OpenArchiveEx = nullptr;
    RARReadHeaderFn ReadHeader = nullptr;
    RARSetCallbackFn SetCallback = nullptr;
    RARProcessFileWFn ProcessFileW = nullptr;
    RARCloseArchiveFn CloseArchive = nullptr;

private:
    common::UniqueModule module_;
};

}  // namespace unrar
