#pragma once
#include <windows.h>

// Size of the narrow buffer the caller passes.
constexpr int kLuaPathBufferSize = MAX_PATH;

// Turns a wide path into a narrow one the engine's Lua scripts can use: the path in
// the thread's ANSI code page when it converts without loss, otherwise its short
// (8.3) form when that converts; fails otherwise, or when the result does not fit
// the 260-byte buffer. Never writes past the buffer; terminates it on success.
// Exported undecorated (stdcall).
extern "C" __declspec(dllimport) HRESULT WINAPI GetLuaCompatiblePathImplementation(const wchar_t* path, char* buffer);
