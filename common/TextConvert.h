#pragma once
// Conversions between wide text and 8-bit text of a code page.
#include <windows.h>

#include <string>

namespace common {

// Wide text in the given code page (the thread's ANSI code page by default); null is
// empty. Characters the code page lacks come out as its default character.
std::string ToNarrow(const wchar_t* text, UINT codePage = CP_THREAD_ACP);

}  // namespace common
