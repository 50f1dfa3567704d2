#include "RegDebug.h"

#include <cstdio>

namespace {

void ErrorSuffix(DWORD code) noexcept {
    char buf[32];
    std::snprintf(buf, sizeof buf, " Error: 0x%lx", static_cast<unsigned long>(code));
    ::OutputDebugStringA(buf);
}

}  // namespace

void RegDebug(const char* text) noexcept { ::OutputDebugStringA(text); }

void RegDebug(const char* text, const wchar_t* name) noexcept {
    ::OutputDebugStringA(text);
    ::OutputDebugStringW(name ? name : L"");
}

void RegDebug(const char* text, const wchar_t* name, DWORD code) noexcept {
    RegDebug(text, name);
    ErrorSuffix(code);
}

void RegDebugCode(const char* text, DWORD code) noexcept {
    ::OutputDebugStringA(text);
    ErrorSuffix(code);
}
