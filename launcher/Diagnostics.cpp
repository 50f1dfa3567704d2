#include "launcher/Diagnostics.h"

namespace ignition {

void LogErrorCode(DWORD code) {
    char line[32];  // " Error: 0x" + at most 8 digits + terminator
    ::wsprintfA(line, " Error: 0x%lx", static_cast<unsigned long>(code));
    ::OutputDebugStringA(line);
}

}  // namespace ignition
