#include "dialog/services/unrar/EntryName.h"

namespace unrar {

namespace {

bool IsSeparator(char c) noexcept { return c == '\\' || c == '/'; }

char Upper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Case-insensitive comparison of `size` bytes with an upper-case ASCII word.
bool SameWord(const char* text, std::size_t size, const char* word) noexcept {
    std::size_t i = 0;
    for (; i < size && word[i]; ++i)
        if (Upper(text[i]) != word[i]) return false;
    return i == size && word[i] == '\0';
}

// The digits Windows accepts after COM and LPT: 0-9 and, in the ANSI code page, the
// superscripts one, two and three.
bool IsPortDigit(char c) noexcept {
    const unsigned char u = static_cast<unsigned char>(c);
    return (c >= '0' && c <= '9') || u == 0xB9 || u == 0xB2 || u == 0xB3;
}

}  // namespace

bool EntryName::IsSafe(const char* name, std::size_t capacity) noexcept {
    if (!name || capacity == 0) return false;
    std::size_t length = 0;
    while (length < capacity && name[length]) ++length;
    // Empty, or filling the whole field (unterminated, or possibly cut short).
    if (length == 0 || length + 1 >= capacity) return false;
    // Rooted: "\x", "/x", "\\server\share", "\\?\...".
    if (IsSeparator(name[0])) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        // A colon is a drive ("C:\x", "C:x") or a stream ("a:stream"); Windows file
        // names never hold one.
        if (c == ':' || c < 0x20) return false;
    }
    std::size_t start = 0;
    while (start <= length) {
        std::size_t end = start;
        while (end < length && !IsSeparator(name[end])) ++end;
        // Empty components (doubled or trailing separators) name no file.
        if (end > start && !IsSafeComponent(name + start, end - start)) return false;
        start = end + 1;
    }
    return true;
}

bool EntryName::IsSafeComponent(const char* component, std::size_t size) noexcept {
    // ".", "..", and what Windows trims to them ("...", ". .", ".. ").
    bool dotsAndSpaces = true;
    for (std::size_t i = 0; i < size; ++i)
        if (component[i] != '.' && component[i] != ' ') dotsAndSpaces = false;
    if (dotsAndSpaces) return false;
    return !IsDeviceName(component, size);
}

bool EntryName::IsDeviceName(const char* component, std::size_t size) noexcept {
    // Windows looks at the part before the first dot, trailing spaces ignored, so
    // "nul.txt" and "con .log" are devices too.
    std::size_t base = 0;
    while (base < size && component[base] != '.') ++base;
    while (base > 0 && component[base - 1] == ' ') --base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (SameWord(component, base, device)) return true;
    if (base == 4 && IsPortDigit(component[3]))
        return SameWord(component, 3, "COM") || SameWord(component, 3, "LPT");
    return false;
}

}  // namespace unrar
