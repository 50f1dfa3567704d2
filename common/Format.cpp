#include "common/Format.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace common {

int FormatText(char* buffer, std::size_t size, const char* format, ...) noexcept {
    if (!buffer || size == 0) return -1;
    va_list args;
    va_start(args, format);
    // _vsnprintf leaves the buffer unterminated when the text fills it.
    int n = ::_vsnprintf(buffer, size - 1, format, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= size) {
        buffer[size - 1] = '\0';
        return -1;
    }
    buffer[n] = '\0';
    return n;
}

int FormatText(wchar_t* buffer, std::size_t size, const wchar_t* format, ...) noexcept {
    if (!buffer || size == 0) return -1;
    va_list args;
    va_start(args, format);
    int n = ::_vsnwprintf(buffer, size - 1, format, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= size) {
        buffer[size - 1] = L'\0';
        return -1;
    }
    buffer[n] = L'\0';
    return n;
}

}  // namespace common
