#pragma once
// Runs a program (ignition) as a real process while capturing its debug output and
// answering, after reading, the message boxes it shows.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Harness.h"

namespace launchertest {

struct RunOptions {
    // Primary token to start the child with (CreateProcessAsUser); null: ours.
    HANDLE token = nullptr;
    DWORD timeoutMs = 60000;
    // Called once the child runs; the process handle and the capture are live.
    std::function<void(HANDLE process, harness::DebugCapture& debug)> whileRunning;
};

struct RunResult {
    DWORD exitCode = 0;
    bool started = false;
    bool timedOut = false;
    DWORD pid = 0;
    std::vector<harness::SeenBox> boxes;
    std::vector<std::string> debug;  // the child's debug-output fragments in order
    std::string DebugText() const;
};

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);

// Starts commandLine in workDir and waits (terminating it after the time-out).
RunResult RunProcess(const std::wstring& commandLine, const std::wstring& workDir, const RunOptions& options = {});

// Saves a registry value and puts it back (or deletes it) when destroyed.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, const std::wstring& key, const std::wstring& name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

private:
    HKEY root_;
    std::wstring key_, name_;
    bool existed_ = false;
    bool keyExisted_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

}  // namespace launchertest
