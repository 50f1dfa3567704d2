#pragma once
// Loading libraries at run time without letting the DLL search order pick the file.
#include <windows.h>

namespace common {

// Loads a library that ships with the installer, by a path relative to the current folder
// (or an absolute one). The path is made absolute first, so that no folder of the DLL search
// order (the program's folder, the system folders, PATH) can supply another file of that
// name; the library's own imports are then looked for beside it first. `flags` are
// LoadLibraryEx flags (LOAD_LIBRARY_AS_DATAFILE for a resource-only library).
HMODULE LoadLibraryAt(const wchar_t* path, DWORD flags = 0) noexcept;

// Loads a library of the system by name from the system folder only.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

}  // namespace common
