#pragma once
// Ends a process by the base name of its executable module.
#include <windows.h>

namespace stagehand {

// The process-list call. System() gives the real one; a test may supply its own to
// present a longer list than the machine has.
struct ProcessListApi {
    BOOL(WINAPI* enumProcesses)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);

    static const ProcessListApi& System() noexcept;
};

class ProcessKiller {
public:
    enum Result : ULONG {
        kNoneFound = 0,     // no examined process has that name
        kNotEnded = 1,      // matching processes exist, none could be terminated
        kEnded = 2,         // the first matching process that could be terminated was
    };

    explicit ProcessKiller(const ProcessListApi& api = ProcessListApi::System()) noexcept : api_(api) {}

    // Walks every process; the name must equal the module's base name exactly
    // (letter case included). False when no process list could be read.
    bool Kill(const wchar_t* imageName, ULONG& result) const;

private:
    const ProcessListApi& api_;
};

}  // namespace stagehand
