#pragma once
// The launch sequence: administrator test, argument logging, dispatch to cleanup mode,
// Windows version check, unregistration of the dialog server through regsvr32, then the
// installer engine with the launcher's own arguments, waited for until it ends.
#include <windows.h>

namespace ignition {

class Launcher {
public:
    // Exit codes of the process besides 0 and a passed-on regsvr32 code.
    static constexpr int kNotAdministrator = -5;
    static constexpr int kBadCommandLine = -4;
    static constexpr int kWindowsTooOld = -3;
    static constexpr int kNoWindowsVersion = -2;

    explicit Launcher(HINSTANCE instance) : instance_(instance) {}
    int Run();

    // True for a member of Administrators; under UAC a limited token is judged by
    // its linked full token, so a non-elevated administrator passes.
    static bool IsAdministrator();

private:
    // Runs regsvr32 /s /u on .\bin\stagehand.dll; its exit code, 0 when it can't start.
    static DWORD Unregister(const wchar_t* windowsDir);
    // Starts the engine with the passed-on arguments and waits for it to end.
    static void StartEngine();
    // Starts a command, waits for it without time-out; false when it couldn't start.
    static bool RunAndWait(const wchar_t* application, wchar_t* commandLine, DWORD* exitCode);

    HINSTANCE instance_;
};

}  // namespace ignition
