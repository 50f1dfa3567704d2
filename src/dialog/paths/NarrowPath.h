#pragma once
// Narrow (ANSI code page) spellings of wide paths for the engine's Lua scripts.
#include <windows.h>

namespace stagehand {

// Converts `path` into `buffer` (room for `size` bytes) in code page `codePage` only when
// the conversion is lossless (the text converts back to the same characters) and fits
// with its terminator. Works for code pages that take no conversion flags (UTF-8 and
// others). Leaves the buffer empty on failure.
HRESULT ConvertLossless(UINT codePage, const wchar_t* path, char* buffer, int size);

// The narrow path in `codePage`: the path itself when it converts losslessly; else its
// short (8.3) form; else, for a path whose last folders do not exist yet, the short form
// of its longest existing folder followed by the rest as given, when that converts.
HRESULT NarrowPath(UINT codePage, const wchar_t* path, char* buffer, int size);

// The ANSI code page of the calling thread (what CP_THREAD_ACP stands for).
UINT ThreadAnsiCodePage();

}  // namespace stagehand
