#pragma once
// Text conversions between Lua's 8-bit strings and the suite library's wide strings,
// both in the calling thread's ANSI code page (CP_THREAD_ACP).
#include <windows.h>

#include "suitebridge/HeapText.h"

namespace suitebridge {

// Converts `length` bytes (embedded NULs included). False only when out of memory;
// text the code page cannot decode gives "".
bool ToWide(const char* text, size_t length, HeapText<wchar_t>& out);
// Converts into `out` (capacity in characters, terminator included); when the text
// cannot be converted whole, `out` holds "" and the result is false.
bool ToWide(const char* text, size_t length, wchar_t* out, size_t capacity);
// Converts `length` wide characters. False only when out of memory.
bool ToNarrow(const wchar_t* text, size_t length, HeapText<char>& out);

}  // namespace suitebridge
