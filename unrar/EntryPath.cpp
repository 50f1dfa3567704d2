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

bool EntryPath::IsReservedDeviceName(const std::wstring& component) {
    // The device is named by the part before the first dot, trailing spaces ignored.
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* n : kNames)
        if (_wcsicmp(base.c_str(), n) == 0) return true;
    if (base.size() == 4 && (_wcsnicmp(base.c_str(), L"COM", 3) == 0 || _wcsnicmp(base.c_str(), L"LPT", 3) == 0)) {
        wchar_t d = base[3];
        // Digits, and the superscript digits Windows also maps to the ports.
        if ((d >= L'0' && d <= L'9') || d == 0x00B9 || d == 0x00B2 || d == 0x00B3) return true;
    }
    return false;
}

bool EntryPath::MakeRelative(const std::wstring& name, std::wstring& relative) {
    relative.clear();
    if (name.empty() || IsSeparator(name[0])) return false;  // rooted, UNC or device path
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t end = pos;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        std::wstring part = name.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        if (part == L"." || part == L"..") return false;
        for (wchar_t c : part)
            if (IsForbiddenChar(c)) return false;
        if (part.back() == L'.' || part.back() == L' ') return false;
        if (IsReservedDeviceName(part)) return false;
        if (!relative.empty()) relative += L'\\';
        relative += part;
    }
    return !relative.empty();
}

}  // namespace unrar
