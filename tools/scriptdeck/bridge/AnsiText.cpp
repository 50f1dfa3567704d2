#include "scriptdeck/bridge/AnsiText.h"

#include <climits>

namespace scriptdeck {

std::wstring AnsiToWide(const char* text, size_t length) {
    std::wstring out;
    if (!text || length == 0) return out;
    if (length > static_cast<size_t>(INT_MAX)) throw std::bad_alloc();
    const int n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), &out[0], n);
    return out;
}

std::string WideToAnsi(const wchar_t* text, size_t length) {
    std::string out;
    if (!text || length == 0) return out;
    if (length > static_cast<size_t>(INT_MAX)) throw std::bad_alloc();
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace scriptdeck
