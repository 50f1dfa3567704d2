#include "dialog/services/registry/RegDebug.h"

#include "common/DebugLog.h"

void RegDebug(const char* text) noexcept { ::OutputDebugStringA(text); }

void RegDebug(const char* text, const wchar_t* name) noexcept {
    ::OutputDebugStringA(text);
    ::OutputDebugStringW(name ? name : L"");
}

void RegDebug(const char* text, const wchar_t* name, DWORD code) noexcept {
    RegDebug(text, name);
    common::DebugErrorSuffix(code);
}

void RegDebugCode(const char* text, DWORD code) noexcept {
    ::OutputDebugStringA(text);
    common::DebugErrorSuffix(code);
}
