#pragma once
// Debug output of the registry object: the message text, then the key or value
// name as UTF-16 text, then " Error: 0x<code>", each written as its own fragment.
#include <windows.h>

void RegDebug(const char* text) noexcept;
void RegDebug(const char* text, const wchar_t* name) noexcept;
void RegDebug(const char* text, const wchar_t* name, DWORD code) noexcept;
// The message text and the error suffix, without a name.
void RegDebugCode(const char* text, DWORD code) noexcept;
