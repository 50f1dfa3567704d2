#include "common/TextConvert.h"

namespace common {

std::string ToNarrow(const wchar_t* text, UINT codePage) {
    if (!text || !*text) return std::string();
    int n = ::WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    n = ::WideCharToMultiByte(codePage, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return out;
}

}  // namespace common
