#include "suitebridge/CodePage.h"

#include <limits.h>

namespace suitebridge {

bool ToWide(const char* text, size_t length, HeapText<wchar_t>& out) {
    int n = 0;
    if (text && length > 0 && length <= INT_MAX)
        n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (n < 0) n = 0;
    if (!out.Allocate(static_cast<size_t>(n))) return false;
    if (n > 0) {
        n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), out.data(), n);
        out.Truncate(n > 0 ? static_cast<size_t>(n) : 0);
    }
    return true;
}

bool ToWide(const char* text, size_t length, wchar_t* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = L'\0';
    if (length == 0) return true;
    if (!text || length > INT_MAX || capacity - 1 > INT_MAX) return false;
    int n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), out,
                                  static_cast<int>(capacity - 1));
    if (n <= 0) {
        out[0] = L'\0';
        return false;
    }
    out[n] = L'\0';
    return true;
}

bool ToNarrow(const wchar_t* text, size_t length, HeapText<char>& out) {
    int n = 0;
    if (text && length > 0 && length <= INT_MAX)
        n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n < 0) n = 0;
    if (!out.Allocate(static_cast<size_t>(n))) return false;
    if (n > 0) {
        n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                                  nullptr);
        out.Truncate(n > 0 ? static_cast<size_t>(n) : 0);
    }
    return true;
}

}  // namespace suitebridge
