#pragma once
// Lua strings are 8-bit text in the thread's ANSI code page (what Lua's own io library
// and the engine's modules expect); COM strings are UTF-16. Both conversions keep
// embedded NUL characters.
#include <windows.h>

#include <string>

namespace scriptdeck {

std::wstring AnsiToWide(const char* text, size_t length);
std::string WideToAnsi(const wchar_t* text, size_t length);

}  // namespace scriptdeck
