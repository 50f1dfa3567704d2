#pragma once
// printf-style formatting into a bounded buffer with the system C runtime's formatter
// (msvcrt). The runtime library's own C99 formatter would add some 40 KB of floating-
// point conversion code to a server that only ever formats integers and short texts.
// Note msvcrt's rules: in a wide format "%s" is wide text; "%#x" prefixes "0x" to
// non-zero values only, as C does.
#include <windows.h>

#include <cstddef>

namespace common {

// Writes at most size characters including the terminating NUL; text that does not fit
// is cut short and still terminated. Returns the characters written (without the NUL),
// or -1 when the text was cut short or size is 0.
int FormatText(char* buffer, std::size_t size, const char* format, ...) noexcept;
int FormatText(wchar_t* buffer, std::size_t size, const wchar_t* format, ...) noexcept;

}  // namespace common
