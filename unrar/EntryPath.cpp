#include "unrar/EntryPath.h"

#include <wchar.h>

namespace unrar {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsForbiddenChar(wchar_t c) {
    // ':' covers drive letters and alternate data streams.
    return c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|';
}

}  // namespace

bool EntryPath::IsReservedDeviceName(const wchar_t* component, size_t length) {
    // The device is named by the part before the first dot, trailing spaces ignored.
    size_t n = 0;
    while (n < length && component[n] != L'.') ++n;
    while (n > 0 && component[n - 1] == L' ') --n;
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kNames)
        if (wcslen(name) == n && _wcsnicmp(component, name, n) == 0) return true;
    if (n == 4 && (_wcsnicmp(component, L"COM", 3) == 0 || _wcsnicmp(component, L"LPT", 3) == 0)) {
        wchar_t d = component[3];
        // Digits, and the superscript digits Windows also maps to the ports.
        if ((d >= L'0' && d <= L'9') || d == 0x00B9 || d == 0x00B2 || d == 0x00B3) return true;
    }
    return false;
}

bool EntryPath::MakeRelative(const wchar_t* name, Text& relative) {
    relative.Clear();
    if (!name || !*name || IsSeparator(name[0])) return false;  // rooted, UNC or device path
    const wchar_t* p = name;
    while (*p) {
        const wchar_t* end = p;
        while (*end && !IsSeparator(*end)) ++end;
        size_t n = static_cast<size_t>(end - p);
        if (n > 0) {
            if ((n == 1 && p[0] == L'.') || (n == 2 && p[0] == L'.' && p[1] == L'.')) return false;
            for (size_t i = 0; i < n; ++i)
                if (IsForbiddenChar(p[i])) return false;
            if (p[n - 1] == L'.' || p[n - 1] == L' ') return false;
            if (IsReservedDeviceName(p, n)) return false;
            if (!relative.empty()) relative.Append(L'\\');
            relative.Append(p, n);
        }
        p = *end ? end + 1 : end;
    }
    return relative.ok() && !relative.empty();
}

}  // namespace unrar
