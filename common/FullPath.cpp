#include "common/FullPath.h"

#include <windows.h>

namespace common {

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

}  // namespace common
