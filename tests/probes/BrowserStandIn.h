#pragma once
// The browser for one test: the stand-in program copied into a scratch folder, its
// open command registered under HKCR\Applications\chrome.exe, its behaviour chosen
// through the environment it inherits, and its log read back. The destructor ends
// every stand-in process the log names and removes the registration.
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"

class BrowserStandIn {
public:
    BrowserStandIn();
    ~BrowserStandIn();
    BrowserStandIn(const BrowserStandIn&) = delete;
    BrowserStandIn& operator=(const BrowserStandIn&) = delete;

    // Copies the stand-in to relativePath inside the scratch folder; returns the full path.
    std::wstring Install(const std::wstring& relativePath);
    const harness::TempDir& Dir() const { return dir_; }

    // Writes the default value of the open-command key (REG_SZ).
    void Register(const std::wstring& command);
    static void Unregister();

    // The window opens delayMs after the program starts; NoWindow() opens none.
    void WindowAfter(DWORD delayMs);
    void NoWindow();

    std::vector<std::string> Log() const;
    // The value of every "<key>=" line, in order.
    std::vector<std::string> Values(const std::string& key) const;
    bool WaitForLine(const std::string& line, DWORD timeoutMs) const;

    // Whether a top-level window of the browser's main-window class exists.
    static bool WindowExists();

private:
    void EndProcesses();
    harness::TempDir dir_;
    std::wstring log_;
};
