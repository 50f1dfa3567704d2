#pragma once
// A temporary installer folder laid out the way ignition is shipped: ignition.exe at
// the top, bin\scriptdeck.exe (engine stand-in) and bin\stagehand.dll (dialog-server
// stand-in) below it. The stand-ins are steered and read through files in bin\.
#include <windows.h>

#include <string>

#include "Harness.h"

namespace launchertest {

class InstallerFolder {
public:
    InstallerFolder();
    const std::wstring& path() const { return dir_.path(); }
    std::wstring operator/(const std::wstring& name) const { return dir_ / name; }
    std::wstring Exe() const { return dir_ / L"ignition.exe"; }
    std::wstring Bin(const std::wstring& name) const { return dir_ / (L"bin\\" + name); }

    // What DllUnregisterServer of the stand-in returns.
    void SetUnregisterResult(HRESULT hr);
    void RemoveStagehand();
    // The engine's exit code; a named event the engine waits for before it ends.
    void SetEngineExitCode(int code);
    void SetEngineWaitEvent(const std::wstring& name);

    bool EngineStarted() const;
    // Lines the engine recorded: command line, current folder (per start).
    std::vector<std::string> EngineRecord() const;
    // "unregister <current folder>" lines of the dialog-server stand-in.
    std::string StagehandCalls() const;

private:
    harness::TempDir dir_;
};

}  // namespace launchertest
