#pragma once
// Helpers shared by the process manager tests: the child program, reading what it
// reports, polling with generous limits, and this process's thread and handle counts.
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "Harness.h"
#include "common/Handle.h"

namespace proctest {

// Full path of the child program, quoted for a command line.
std::wstring Child();
std::wstring ChildPath();

// Runs the manager's Exec late-bound; returns `succeeded`.
bool Exec(IDispatch* mgr, const std::wstring& mod, const std::wstring& cmdline, bool hide, bool watch,
          const std::wstring& workDir = L"");
bool IsFinished(IDispatch* mgr);
ULONG ExitCode(IDispatch* mgr);

// Polls `done` every 50 ms until it holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
// Waits until the manager reports the watched launch finished.
bool WaitFinished(IDispatch* mgr, DWORD timeoutMs = 20000);

// key=value lines of a report file written by the child ("report" mode); empty if missing.
std::map<std::string, std::string> ReadReport(const std::wstring& file);
// Waits for a file to appear and be complete (non-empty).
bool WaitForFile(const std::wstring& file, DWORD timeoutMs = 20000);

// Whether a folder path and a folder the child reported name the same folder.
bool SameFolder(const std::wstring& folder, std::string reported);

bool ProcessAlive(DWORD pid);
// Terminates a process if it still runs (test clean-up).
void Kill(DWORD pid);

// Runs one (disabled) case of this test program in a process of its own, with the
// environment variable `name` set to `value` for it (appended after ";" when
// `append` and the variable exists). True when the case ran to its end without a
// failure: the case calls MarkCaseRan last.
bool RunCaseInOwnProcess(const std::wstring& testName, const wchar_t* name = nullptr, const std::wstring& value = L"",
                         bool append = false);
void MarkCaseRan(bool failed);

LONG ThreadCount();
DWORD HandleCount();

}  // namespace proctest
