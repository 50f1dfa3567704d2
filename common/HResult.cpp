#include "common/HResult.h"

#include "common/Format.h"

namespace common {

void LogFailure(const char* file, int line, HRESULT hr) noexcept {
#ifdef NDEBUG
    // Release builds keep the debug channel to the product's own messages.
    (void)file;
    (void)line;
    (void)hr;
#else
    char buf[300];
    FormatText(buf, sizeof buf, "%s(%d): HRESULT 0x%08lx\n", file, line, static_cast<unsigned long>(hr));
    ::OutputDebugStringA(buf);
#endif
}

}  // namespace common
