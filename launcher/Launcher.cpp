#include "launcher/Launcher.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/Handle.h"
#include "launcher/Cleanup.h"
#include "launcher/CommandLineBuffer.h"
#include "launcher/Diagnostics.h"
#include "launcher/LocalizedMessage.h"

namespace ignition {

namespace {

// String table ids of the messages (base ids; the language offset is added).
constexpr UINT kTextWindowsTooOld = 1016;
constexpr UINT kTextUnregisterFailed = 1017;
constexpr UINT kTextNotAdministrator = 1018;
constexpr UINT kCaptionNotAdministrator = 1019;
constexpr UINT kNoCaption = 0;

constexpr DWORD kAdministratorsSidBytes = 68;

// The argument vector of CommandLineToArgvW, freed with LocalFree.
class ArgList {
public:
    ArgList() { argv_ = ::CommandLineToArgvW(::GetCommandLineW(), &argc_); }
    ~ArgList() { Free(); }
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;
    void Free() {
        if (argv_) ::LocalFree(argv_);
        argv_ = nullptr;
    }
    bool ok() const { return argv_ != nullptr; }
    int count() const { return argv_ ? argc_ : 0; }
    wchar_t** args() const { return argv_; }

private:
    int argc_ = 0;
    wchar_t** argv_ = nullptr;
};

// Exact, case-sensitive comparison (no locale rules).
bool SameText(const wchar_t* a, const wchar_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool ReadWindowsVersion(OSVERSIONINFOW* info) {
    ::ZeroMemory(info, sizeof *info);
    info->dwOSVersionInfoSize = sizeof *info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExW(info) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

// Any failed step gives false; its last error is read and dropped.
bool Launcher::IsAdministrator() {
    common::UniqueHandle processToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, processToken.put())) {
        ::GetLastError();
        return false;
    }
    OSVERSIONINFOW version;
    if (!ReadWindowsVersion(&version)) {
        ::GetLastError();
        return false;
    }

    common::UniqueHandle testToken;
    if (version.dwMajorVersion >= 6) {
        TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
        DWORD size = 0;
        if (!::GetTokenInformation(processToken.get(), TokenElevationType, &type, sizeof type, &size)) {
            ::GetLastError();
            return false;
        }
        if (type == TokenElevationTypeLimited) {
            TOKEN_LINKED_TOKEN linked = {};
            if (!::GetTokenInformation(processToken.get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
                ::GetLastError();
                return false;
            }
            testToken.reset(linked.LinkedToken);
        }
    }
    if (!testToken &&
        !::DuplicateToken(processToken.get(), SecurityIdentification, testToken.put())) {
        ::GetLastError();
        return false;
    }

    BYTE sid[kAdministratorsSidBytes];
    DWORD sidSize = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) {
        ::GetLastError();
        return false;
    }
    BOOL member = FALSE;
    if (!::CheckTokenMembership(testToken.get(), sid, &member)) {
        ::GetLastError();
        return false;
    }
    return member != FALSE;
}

bool Launcher::RunAndWait(const wchar_t* application, wchar_t* commandLine, DWORD* exitCode) {
    STARTUPINFOW startup;
    ::ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    common::UniqueHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    if (exitCode && !::GetExitCodeProcess(process.get(), exitCode)) *exitCode = 0;
    return true;
}

DWORD Launcher::Unregister(const wchar_t* windowsDir) {
    // The Windows folder has fewer than MAX_PATH characters, so both texts fit.
    // The program path is quoted only when the Windows folder contains a blank, so the
    // program sees its own name as one argument; otherwise the text stays as it always was.
    wchar_t command[MAX_PATH + 64];
    const bool quote = ::StrChrW(windowsDir, L' ') != nullptr;
    ::wsprintfW(command, quote ? L"\"%s\\system32\\regsvr32\" /s /u .\\bin\\stagehand.dll"
                               : L"%s\\system32\\regsvr32 /s /u .\\bin\\stagehand.dll",
                windowsDir);
    // Naming the program as well keeps CreateProcessW from trying shorter names.
    wchar_t program[MAX_PATH + 32];
    ::wsprintfW(program, L"%s\\system32\\regsvr32.exe", windowsDir);
    DWORD code = 0;
    if (!RunAndWait(program, command, &code)) return 0;
    return code;
}

void Launcher::StartEngine() {
    ArgList args;
    if (!args.ok()) return;
    CommandLineBuffer command;
    command.Append(L".\\bin\\scriptdeck.exe installerMain.clf");
    for (int i = 1; i < args.count(); ++i) {
        const wchar_t* arg = args.args()[i];
        if (arg[0] == L'-' && arg[1] == L'-') {
            command.Append(L" ");
            command.Append(arg);
        } else {
            command.AppendQuoted(arg);
        }
    }
    if (!command.ok() || !command.data()) {
        Log("Engine command line too long, engine not started");
        return;
    }
    RunAndWait(nullptr, command.data(), nullptr);
}

int Launcher::Run() {
    if (!IsAdministrator()) {
        LocalizedMessage::ShowLocalizedMessage(instance_, kCaptionNotAdministrator, kTextNotAdministrator, 0);
        Log("Not enough privileges to run the installer");
        return kNotAdministrator;
    }

    bool cleanedUp = false;
    {
        ArgList args;
        if (!args.ok()) {
            Log("Unable to parse command line");
            return kBadCommandLine;
        }
        Log("Arglist contents");
        for (int i = 0; i < args.count(); ++i) Log(args.args()[i]);

        if (args.count() > 2 && SameText(args.args()[1], L"cleanup")) {
            Log("Calling cleanup()");
            Cleanup::cleanup(args.count(), args.args());
            cleanedUp = true;
        }
    }
    if (cleanedUp) return 0;

    OSVERSIONINFOW version;
    if (!ReadWindowsVersion(&version)) return kNoWindowsVersion;
    if (version.dwMajorVersion < 5) {
        LocalizedMessage::ShowLocalizedMessage(instance_, kNoCaption, kTextWindowsTooOld, 0);
        return kWindowsTooOld;
    }

    wchar_t windowsDir[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryW(windowsDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;

    const DWORD unregistered = Unregister(windowsDir);
    if (unregistered == 5) {
        LocalizedMessage::ShowLocalizedMessage(instance_, kCaptionNotAdministrator, kTextNotAdministrator, 5);
        return 5;
    }
    if (unregistered != 0) {
        LocalizedMessage::ShowLocalizedMessage(instance_, kNoCaption, kTextUnregisterFailed,
                                               static_cast<int>(unregistered));
        return static_cast<int>(unregistered);
    }

    StartEngine();
    return 0;
}

}  // namespace ignition
