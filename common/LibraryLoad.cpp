#include "common/LibraryLoad.h"

#include <new>
#include <string>

namespace common {

namespace {

// The full path of `path`, or empty (with the thread's last error set) when there is none.
std::wstring FullPath(const wchar_t* path) {
    DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    // The current folder may change between the two calls: retry while the text grew.
    for (int attempt = 0; size != 0 && attempt < 4; ++attempt) {
        std::wstring full(size, L'\0');
        DWORD n = ::GetFullPathNameW(path, size, &full[0], nullptr);
        if (n == 0) break;
        if (n < size) {
            full.resize(n);
            return full;
        }
        size = n;
    }
    if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_BAD_PATHNAME);
    return {};
}

}  // namespace

HMODULE LoadLibraryAt(const wchar_t* path, DWORD flags) noexcept {
    if (!path || !*path) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        const std::wstring full = FullPath(path);
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
