#include "common/LibraryLoad.h"

#include <new>
#include <string>

#include "common/FullPath.h"

namespace common {

HMODULE LoadLibraryAt(const wchar_t* path, DWORD flags) noexcept {
    if (!path || !*path) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        const std::wstring full = common::FullPath(path);
        if (full.empty()) return nullptr;
        // A data file runs no code and has no imports to resolve.
        if (!(flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)))
            flags |= LOAD_WITH_ALTERED_SEARCH_PATH;
        return ::LoadLibraryExW(full.c_str(), nullptr, flags);
    } catch (const std::bad_alloc&) {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    if (!name || !*name) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        UINT size = ::GetSystemDirectoryW(nullptr, 0);
        if (size == 0) return nullptr;
        std::wstring path(size, L'\0');
        UINT n = ::GetSystemDirectoryW(&path[0], size);
        if (n == 0 || n >= size) return nullptr;
        path.resize(n);
        path += L'\\';
        path += name;
        return ::LoadLibraryExW(path.c_str(), nullptr, 0);
    } catch (const std::bad_alloc&) {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
}

}  // namespace common
