#pragma once
// Debug-output helpers of the launcher: fixed texts and names go out as separate
// fragments, error codes as their own " Error: 0x<hex>" fragment.
#include <windows.h>

namespace ignition {

inline void Log(const char* text) { ::OutputDebugStringA(text); }
inline void Log(const wchar_t* text) { ::OutputDebugStringW(text); }
// " Error: 0x" and the code in lower-case hexadecimal without leading zeros.
void LogErrorCode(DWORD code);

}  // namespace ignition
