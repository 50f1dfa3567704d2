// Cleanup mode of ignition.exe ("ignition cleanup <folder>"), run as a real process.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "IgnitionRun.h"
#include "InstallerFolder.h"
#include "common/Handle.h"

using launchertest::InstallerFolder;
using launchertest::RunOptions;
using launchertest::RunProcess;
using launchertest::RunResult;

namespace {

const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

RunResult RunCleanup(const InstallerFolder& installer, const std::wstring& folder, const RunOptions& options = {}) {
    return RunProcess(launchertest::QuoteArgument(installer.Exe()) + L" cleanup " + launchertest::QuoteArgument(folder),
                      installer.path(), options);
}

// What an uninstallation leaves: both logs and the Installer subfolder with its content.
void Populate(const std::wstring& folder) {
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    harness::WriteFile(harness::Join(folder, L"installLog.txt"), "log");
    harness::WriteFile(harness::Join(folder, L"uninstLog.txt"), "log");
    const std::wstring installer = harness::Join(folder, L"Installer");
    ASSERT_TRUE(::CreateDirectoryW(installer.c_str(), nullptr));
    harness::WriteFile(harness::Join(installer, L"setup.lua"), "x");
    ASSERT_TRUE(::CreateDirectoryW(harness::Join(installer, L"pages").c_str(), nullptr));
    harness::WriteFile(harness::Join(installer, L"pages\\a.html"), "<html/>");
}

std::vector<std::string> Prefix(const std::vector<std::string>& v, size_t n) {
    return std::vector<std::string>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size())));
}

std::vector<std::string> StartLines(const InstallerFolder& installer, const std::wstring& folder) {
    return {"Arglist contents", harness::Narrow(installer.Exe()), "cleanup", harness::Narrow(folder),
            "Calling cleanup()"};
}

std::wstring RunOnceValue() { return harness::StringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir"); }

void ClearRunOnceValue() {
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), L"ZOZuzirorir");
}

std::vector<std::wstring> PendingRenames() {
    std::vector<std::wstring> out;
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return out;
    DWORD size = 0, type = 0;
    if (::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return out;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    ::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size);
    for (const wchar_t* p = data.data(); p < data.data() + size / sizeof(wchar_t); p += wcslen(p) + 1)
        out.emplace_back(p);
    return out;
}

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH];
    return ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK ? path : L"";
}

}  // namespace

TEST(Cleanup, RemovesAPopulatedFolderWithItsInstallerSubfolder) {
    InstallerFolder installer;
    const std::wstring game = installer / L"Game";
    Populate(game);
    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");

    RunResult r = RunCleanup(installer, game);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_FALSE(harness::DirExists(game));
    EXPECT_TRUE(harness::DirExists(installer.path()));
    EXPECT_TRUE(r.boxes.empty());
    // Nothing of the launch sequence runs.
    EXPECT_FALSE(installer.EngineStarted());
    EXPECT_EQ("", installer.StagehandCalls());
    EXPECT_EQ(std::wstring::npos, RunOnceValue().find(game));

    std::vector<std::string> expected = StartLines(installer, game);
    for (const char* line : {"WaitForMutex", "RUDU2InstallerInst", "mutex did not exist", "WaitForMutex",
                             "RUDU2MrClean", "mutex did not exist", "TryRemovePaths"})
        expected.push_back(line);
    EXPECT_EQ(expected, r.debug);
}

TEST(Cleanup, LongestAcceptedFolderIsRemovedLongerOnesAreRefused) {
    InstallerFolder installer;
    // Folders whose full path is exactly 232 and 240 characters.
    auto folderOfLength = [&](size_t length, const wchar_t* tag) {
        std::wstring base = installer / tag;
        ::CreateDirectoryW(base.c_str(), nullptr);
        return base + L"\\" + std::wstring(length - base.size() - 1, L'd');
    };
    const std::wstring longest = folderOfLength(232, L"a");
    const std::wstring tooLong = folderOfLength(240, L"b");
    ASSERT_EQ(232u, longest.size());
    ASSERT_EQ(240u, tooLong.size());
    Populate(longest);
    Populate(tooLong);

    RunResult r = RunCleanup(installer, longest);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_FALSE(harness::DirExists(longest));

    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
    r = RunCleanup(installer, tooLong);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(harness::FileExists(harness::Join(tooLong, L"installLog.txt")));
    EXPECT_TRUE(harness::FileExists(harness::Join(tooLong, L"Installer\\setup.lua")));
    EXPECT_EQ(std::wstring::npos, RunOnceValue().find(L"dddd"));
    std::vector<std::string> expected = StartLines(installer, tooLong);
    expected.push_back("cleanup refused, path too long: ");
    expected.push_back(harness::Narrow(tooLong));
    EXPECT_EQ(expected, r.debug);
}

TEST(Cleanup, RefusesRootsSystemAndProfileFoldersWithoutTouchingThem) {
    InstallerFolder installer;
    wchar_t windows[MAX_PATH], system[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring profile = KnownFolder(CSIDL_PROFILE);
    ASSERT_FALSE(profile.empty());
    const std::wstring profiles = profile.substr(0, profile.find_last_of(L'\\'));

    // Logs the cleanup would delete first: they must survive.
    const std::wstring rootLog = L"C:\\installLog.txt";
    const std::wstring windowsLog = harness::Join(windows, L"installLog.txt");
    harness::WriteFile(rootLog, "keep");
    harness::WriteFile(windowsLog, "keep");
    // A relative name resolves against the current folder, where such a folder exists.
    Populate(installer / L"Game");
    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
    ClearRunOnceValue();

    const std::pair<std::wstring, const char*> cases[] = {
        {L"C:\\", "drive or share root"},
        {L"C:", "not an absolute path"},
        {L"c:/", "drive or share root"},
        {windows, "system or profile folder"},
        {std::wstring(windows) + L"\\", "system or profile folder"},
        {L"C:\\nowhere\\..\\" + std::wstring(windows).substr(3), "system or profile folder"},
        {system, "system or profile folder"},
        {KnownFolder(CSIDL_PROGRAM_FILES), "system or profile folder"},
        {KnownFolder(CSIDL_COMMON_APPDATA), "system or profile folder"},
        {profile, "system or profile folder"},
        {profiles, "system or profile folder"},
        {L"Game", "not an absolute path"},
        {L"\\Game", "not an absolute path"},
        {L"\\\\server\\share", "drive or share root"},
        {L"\\\\server\\share\\", "drive or share root"},
        {L"\\\\?\\C:\\Game", "not an absolute path"},
        {std::wstring(windows) + L"\"", "invalid characters"},
        {installer / L"%windir%", "invalid characters"},
        {installer / L"Game:stream", "invalid characters"},
    };
    for (const auto& [folder, reason] : cases) {
        RunResult r = RunCleanup(installer, folder);
        EXPECT_EQ(0u, r.exitCode) << harness::Narrow(folder);
        std::vector<std::string> expected = StartLines(installer, folder);
        expected.push_back(std::string("cleanup refused, ") + reason + ": ");
        expected.push_back(harness::Narrow(folder));
        EXPECT_EQ(expected, r.debug) << harness::Narrow(folder);
    }
    EXPECT_EQ("keep", harness::ReadFile(rootLog));
    EXPECT_EQ("keep", harness::ReadFile(windowsLog));
    EXPECT_TRUE(harness::FileExists(installer / L"Game\\installLog.txt"));
    EXPECT_TRUE(harness::DirExists(installer / L"Game\\Installer"));
    EXPECT_EQ(L"<missing>", RunOnceValue());
    ::DeleteFileW(rootLog.c_str());
    ::DeleteFileW(windowsLog.c_str());
}

// Other names for protected folders: administrative shares of this machine under any
// host name, the prefix's Z: drive reaching C:\windows through the Unix file system, and
// the user's own folders, which text comparison of ancestors alone let through.
TEST(Cleanup, RefusesOtherNamesForProtectedFoldersAndTheUsersOwnFolders) {
    InstallerFolder installer;
    wchar_t windows[MAX_PATH], system[MAX_PATH], temp[MAX_PATH], computer[MAX_COMPUTERNAME_LENGTH + 1];
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    DWORD computerLen = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(computer, &computerLen));
    std::wstring tempFolder(temp);
    while (!tempFolder.empty() && tempFolder.back() == L'\\') tempFolder.pop_back();

    // C:\windows\system32 as the Unix file system reaches it through drive Z:.
    wchar_t prefix[MAX_PATH];
    const DWORD prefixLen = ::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
    ASSERT_TRUE(prefixLen > 0 && prefixLen < MAX_PATH);
    std::wstring viaZ = L"Z:" + std::wstring(prefix) + L"\\drive_c" + std::wstring(system).substr(2);
    for (wchar_t& c : viaZ)
        if (c == L'/') c = L'\\';
    ASSERT_TRUE(harness::DirExists(viaZ)) << harness::Narrow(viaZ);

    const std::wstring sentinel = harness::Join(system, L"installLog.txt");
    harness::WriteFile(sentinel, "keep");
    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
    ClearRunOnceValue();

    const std::wstring windowsTail = std::wstring(windows).substr(3);
    const std::pair<std::wstring, const char*> cases[] = {
        {L"\\\\localhost\\C$\\" + windowsTail, "administrative share"},
        {L"\\\\127.0.0.1\\c$\\" + windowsTail + L"\\system32", "administrative share"},
        {L"\\\\" + std::wstring(computer) + L"\\ADMIN$\\system32", "administrative share"},
        {viaZ, "system or profile folder"},
        {KnownFolder(CSIDL_PERSONAL), "system or profile folder"},
        {KnownFolder(CSIDL_DESKTOPDIRECTORY), "system or profile folder"},
        {KnownFolder(CSIDL_APPDATA), "system or profile folder"},
        {KnownFolder(CSIDL_LOCAL_APPDATA), "system or profile folder"},
        {tempFolder, "system or profile folder"},
    };
    for (const auto& [folder, reason] : cases) {
        ASSERT_FALSE(folder.empty());
        RunResult r = RunCleanup(installer, folder);
        EXPECT_EQ(0u, r.exitCode) << harness::Narrow(folder);
        std::vector<std::string> expected = StartLines(installer, folder);
        expected.push_back(std::string("cleanup refused, ") + reason + ": ");
        expected.push_back(harness::Narrow(folder));
        EXPECT_EQ(expected, r.debug) << harness::Narrow(folder);
    }
    EXPECT_EQ("keep", harness::ReadFile(sentinel));
    EXPECT_EQ(L"<missing>", RunOnceValue());
    ::DeleteFileW(sentinel.c_str());

    // A folder of its own below the temporary folder is still cleaned up.
    const std::wstring game = harness::Join(tempFolder, L"cleanup-guard-game");
    Populate(game);
    RunResult r = RunCleanup(installer, game);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_FALSE(harness::DirExists(game));
}

TEST(Cleanup, WaitsWhileAnotherProcessHoldsEitherMutex) {
    for (const wchar_t* mutex : {L"RUDU2InstallerInst", L"RUDU2MrClean"}) {
        for (const wchar_t* mode : {L"hold", L"abandon"}) {
            SCOPED_TRACE(harness::Narrow(mutex) + " " + harness::Narrow(mode));
            InstallerFolder installer;
            const std::wstring game = installer / L"Game";
            Populate(game);
            const std::wstring releaseName = L"ignition-test-release-" + std::to_wstring(::GetCurrentProcessId());
            common::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
            ASSERT_TRUE(release);

            STARTUPINFOW si = {sizeof si};
            PROCESS_INFORMATION pi = {};
            std::wstring cmd = L"\"" + harness::Join(harness::BinDir(), L"launcher_probe.exe") + L"\" " + mode +
                               L" " + mutex + L" " + releaseName;
            ASSERT_TRUE(::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
            common::UniqueHandle holder(pi.hProcess), holderThread(pi.hThread);
            bool held = false;
            for (int i = 0; i < 200 && !held; ++i) {
                common::UniqueHandle m(::OpenMutexW(SYNCHRONIZE, FALSE, mutex));
                held = m.valid();
                if (!held) ::Sleep(25);
            }
            ASSERT_TRUE(held);

            bool blocked = false;
            RunOptions options;
            options.whileRunning = [&](HANDLE process, harness::DebugCapture& debug) {
                debug.WaitFor(harness::Narrow(mutex), 10000);
                blocked = ::WaitForSingleObject(process, 1000) == WAIT_TIMEOUT && harness::DirExists(game) &&
                          harness::FileExists(harness::Join(game, L"installLog.txt"));
                ::SetEvent(release.get());
            };
            launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
            RunResult r = RunCleanup(installer, game, options);
            EXPECT_TRUE(blocked);
            EXPECT_EQ(std::wstring::npos, RunOnceValue().find(game)) << r.DebugText();
            EXPECT_FALSE(r.timedOut);
            EXPECT_EQ(0u, r.exitCode);
            EXPECT_FALSE(harness::DirExists(game));
            std::string text = r.DebugText();
            EXPECT_NE(std::string::npos, text.find(harness::Narrow(mutex) + "mutex signaled")) << text;
            ::WaitForSingleObject(holder.get(), 10000);
        }
    }
}

TEST(Cleanup, FolderInUseIsLeftToTheNextLogonAndBoot) {
    InstallerFolder installer;
    const std::wstring game = installer / L"Game";
    Populate(game);
    const std::wstring installerDir = harness::Join(game, L"Installer");
    // A file the shell can't delete while this handle is open.
    common::UniqueHandle busy(::CreateFileW(harness::Join(installerDir, L"busy.dat").c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(busy);

    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
    launchertest::RegistryValueGuard renames(HKEY_LOCAL_MACHINE, kSessionManagerKey, L"PendingFileRenameOperations");

    RunOptions options;
    options.timeoutMs = 120000;
    RunResult r = RunCleanup(installer, game, options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());

    EXPECT_EQ(L"cmd.exe /c \"rmdir /S /Q \"" + game + L"\"\"", RunOnceValue());
    const std::wstring marker = harness::Join(installerDir, L"rebootPending");
    EXPECT_TRUE(harness::FileExists(marker));
    EXPECT_EQ("", harness::ReadFile(marker));
    auto pending = PendingRenames();
    auto it = std::find(pending.begin(), pending.end(), L"\\??\\" + marker);
    ASSERT_NE(pending.end(), it);
    ASSERT_NE(pending.end(), it + 1);
    EXPECT_EQ(L"", *(it + 1));  // deleted, not renamed
    // The logs went, the busy file stayed.
    EXPECT_FALSE(harness::FileExists(harness::Join(game, L"installLog.txt")));
    EXPECT_FALSE(harness::FileExists(harness::Join(game, L"uninstLog.txt")));
    EXPECT_TRUE(harness::FileExists(harness::Join(installerDir, L"busy.dat")));

    // Ten rounds, each stopped by the shell's failure on the Installer subfolder.
    auto lines = r.debug;
    std::vector<std::string> head = StartLines(installer, game);
    for (const char* line : {"WaitForMutex", "RUDU2InstallerInst", "mutex did not exist", "WaitForMutex",
                             "RUDU2MrClean", "mutex did not exist"})
        head.push_back(line);
    EXPECT_EQ(head, Prefix(lines, head.size()));
    ASSERT_EQ(head.size() + 10 * 4, lines.size());
    for (size_t i = head.size(); i < lines.size(); i += 4) {
        EXPECT_EQ("TryRemovePaths", lines[i]);
        EXPECT_EQ("SHFileOperation FAILED", lines[i + 1]);
        EXPECT_EQ(harness::Narrow(installerDir), lines[i + 2]);
        EXPECT_EQ(0u, lines[i + 3].find(" Error: 0x")) << lines[i + 3];
    }
    busy.reset();
}

TEST(Cleanup, FolderKeptOpenIsRetriedAndRemovedOnceFree) {
    InstallerFolder installer;
    const std::wstring game = installer / L"Game";
    Populate(game);
    const std::wstring leftover = harness::Join(game, L"left.txt");
    harness::WriteFile(leftover, "x");
    // Another process's view of the folder without delete sharing: removing the folder
    // meets a sharing violation, as an Explorer window or a shell would cause.
    common::UniqueHandle open(::CreateFileW(game.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(open);
    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");

    bool sawLeftover = false, sawEmpty = false;
    RunOptions options;
    options.whileRunning = [&](HANDLE, harness::DebugCapture& debug) {
        // Not empty: the entry is named and the attempt fails.
        sawLeftover = debug.WaitFor("isEmpty Found: left.txt.", 15000);
        ::DeleteFileW(leftover.c_str());
        // Empty but still open: the shell is asked to delete it.
        sawEmpty = debug.WaitFor("isEmpty is true", 15000);
        open.reset();
    };
    RunResult r = RunCleanup(installer, game, options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(sawLeftover) << r.DebugText();
    EXPECT_TRUE(sawEmpty) << r.DebugText();
    EXPECT_FALSE(harness::DirExists(game));
    EXPECT_EQ(std::wstring::npos, RunOnceValue().find(game));
}

// The slow path at its real pace (about 50 s): nothing to delete, every retry spent.
TEST(Cleanup, FolderUnderMissingParentSpendsEveryRetryThenSchedulesRemoval) {
    InstallerFolder installer;
    const std::wstring game = installer / L"NoParent\\Game";
    launchertest::RegistryValueGuard runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, L"ZOZuzirorir");
    launchertest::RegistryValueGuard renames(HKEY_LOCAL_MACHINE, kSessionManagerKey, L"PendingFileRenameOperations");
    ClearRunOnceValue();

    RunOptions options;
    options.timeoutMs = 150000;
    const DWORD start = ::GetTickCount();
    RunResult r = RunCleanup(installer, game, options);
    const DWORD seconds = (::GetTickCount() - start) / 1000;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    // RemoveDirectoryW fails with ERROR_PATH_NOT_FOUND, which leaves it to the next logon;
    // the marker can't be created without its folder.
    EXPECT_EQ(L"cmd.exe /c \"rmdir /S /Q \"" + game + L"\"\"", RunOnceValue());
    EXPECT_FALSE(harness::DirExists(game));
    EXPECT_FALSE(harness::FileExists(harness::Join(game, L"Installer\\rebootPending")));

    auto count = [&](const std::string& line) {
        return std::count(r.debug.begin(), r.debug.end(), line);
    };
    // Twenty attempts per log file, ten rounds of the subfolder deletion.
    EXPECT_EQ(40, count("Failed to delete: "));
    EXPECT_EQ(20, count(harness::Narrow(harness::Join(game, L"installLog.txt"))));
    EXPECT_EQ(20, count(harness::Narrow(harness::Join(game, L"uninstLog.txt"))));
    EXPECT_EQ(10, count("TryRemovePaths"));
    EXPECT_EQ(10, count("SHFileOperation FAILED"));
    // 2 x 10 pauses of 2 s for the logs, 10 pauses of 1 s between the rounds.
    EXPECT_GE(seconds, 49u);
}
