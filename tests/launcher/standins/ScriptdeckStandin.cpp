// Engine stand-in: records its command line and current folder in scriptdeck.record
// beside itself, optionally waits for a named event given in scriptdeck.wait (at most
// 30 s), and exits with the code in scriptdeck.exitcode (0 without it).
#include <windows.h>

#include "StandinFiles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring dir = standin::ModuleDir(nullptr);
    standin::AppendText(dir + L"\\scriptdeck.record",
                        standin::Utf8(::GetCommandLineW()) + "\n" + standin::Utf8(standin::CurrentDir()) + "\n");
    std::string eventName;
    if (standin::ReadText(dir + L"\\scriptdeck.wait", eventName) && !eventName.empty()) {
        HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, eventName.c_str());
        if (event) {
            ::WaitForSingleObject(event, 30000);
            ::CloseHandle(event);
        }
    }
    return static_cast<int>(standin::NumberFromFile(dir + L"\\scriptdeck.exitcode", 0));
}
