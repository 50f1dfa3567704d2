#pragma once
// A running stand-in installer (queue_installer.exe): a process of its own with the
// singleton dialog control, driven line by line through its standard input and output.
#include <windows.h>

#include <string>

#include "common/Handle.h"

namespace queuetest {

class InstallerProcess {
public:
    // Starts the program from the test's bin folder.
    InstallerProcess();
    // Asks it to end, and ends it when it does not.
    ~InstallerProcess();
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    // Sends one command (fields joined by tabs) and returns the answer line; a failed
    // test and an empty answer when none arrives in time.
    std::string Do(const std::string& command, DWORD timeoutMs = 120000);

    // Create(480, 360, mode) succeeded.
    bool CreateWindowInMode(int mode);
    // SendQDownloadMsg's HRESULT.
    HRESULT Send(const std::string& gameId, const std::string& tps, const std::string& gameName);
    bool Poll();
    // "=<text>" for a string, "empty" for none or an empty one (field: gameid, tps, gamename).
    std::string Take(const char* field) { return Do(field); }
    HWND Window();
    DWORD Pid() const { return pid_; }

private:
    common::UniqueHandle process_, input_, output_;
    std::string pending_;
    DWORD pid_ = 0;
};

}  // namespace queuetest
