#pragma once
// Test support for the sample installer: a copy of the built package in the Wine
// prefix's C:\SampleInstaller, runs of its ignition.exe (with the installer's step log
// and the page player's log), a look at the installer window, and clean-up of what an
// installation leaves in the prefix. The servers the installer registers (stagehand and
// the probes) are registered again from where they were before, because other tests of
// the run use them.
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"
#include "common/Handle.h"

namespace sampletest {

class SamplePackage {
public:
    SamplePackage();
    ~SamplePackage();
    SamplePackage(const SamplePackage&) = delete;
    SamplePackage& operator=(const SamplePackage&) = delete;

    const std::wstring& root() const { return root_; }
    std::wstring operator/(const std::wstring& name) const { return harness::Join(root_, name); }

    // Starts ignition.exe in the package with `arguments` (the step log argument added).
    void Start(const std::wstring& arguments);
    // Waits for ignition.exe to end; false on time-out (the process is then killed).
    bool Wait(DWORD timeoutMs, DWORD* exitCode);
    std::string StepLog() const;

    // The installer window once it shows a page containing `text` (null on time-out).
    HWND WaitForPage(const std::wstring& text, DWORD timeoutMs) const;
    // Presses and releases the mouse on the window's close button.
    static void PressCloseButton(HWND window);

    // C:\Program Files\Tessaly\Sample Game, where the installer puts the game.
    static std::wstring GameFolder();
    static const wchar_t kUninstallKey[];
    // Removes the installed game, its shortcuts and registry entries.
    static void RemoveInstallation();

private:
    harness::TempDir dir_;
    const std::wstring& root_ = dir_.path();
    common::UniqueHandle process_;
    std::vector<std::pair<std::wstring, std::wstring>> servers_;  // class id, DLL registered before
};

// The text of every child window of `window` (the page player's view answers with the
// page's title and lines).
std::wstring PageTextOf(HWND window);

}  // namespace sampletest
