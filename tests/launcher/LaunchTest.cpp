// Launch mode of ignition.exe, run as a real process in a temporary installer folder.
#include <gtest/gtest.h>

#include "IgnitionRun.h"
#include "InstallerFolder.h"
#include "common/Handle.h"

using launchertest::InstallerFolder;
using launchertest::RunOptions;
using launchertest::RunProcess;
using launchertest::RunResult;

namespace {

const wchar_t kEnglishNoRights[] =
    L"You don\u2019t have authorized administration rights on this computer. Please log out from this computer, and "
    L"then log in as a user with administration rights. If you don\u2019t have the rights, please contact the person "
    L"who does have them, so he or she can install the game for you.";
const wchar_t kEnglishNoRightsCaption[] = L"You need administration rights to install this game";
const wchar_t kEnglishTooOld[] =
    L"This application requires the XP or Vista editions of the Microsoft Windows operating system. Installation "
    L"will now Exit.";
const char kEngineBase[] = ".\\bin\\scriptdeck.exe installerMain.clf";

RunResult RunIgnition(const InstallerFolder& folder, const std::wstring& args, const RunOptions& options = {}) {
    return RunProcess(L"\"" + folder.Exe() + L"\"" + (args.empty() ? L"" : L" " + args), folder.path(), options);
}

std::string EngineCommand(const InstallerFolder& folder) {
    auto lines = folder.EngineRecord();
    return lines.empty() ? "<engine not started>" : lines[0];
}

// This process's token with the given access.
common::UniqueHandle OwnToken(DWORD access) {
    common::UniqueHandle token;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), access, token.put()));
    return token;
}

// Sets HKCU\Software\Wine\AppDefaults\ignition.exe Version for the guard's lifetime.
class WineVersionFor {
public:
    explicit WineVersionFor(const wchar_t* version)
        : guard_(HKEY_CURRENT_USER, kKey, L"Version") {
        common::UniqueKey key;
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                   key.put(), nullptr));
        EXPECT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                   static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t))));
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\ignition.exe";
    launchertest::RegistryValueGuard guard_;
};

}  // namespace

TEST(Launch, StartsEngineWithQuotedArgumentsAndWaitsForIt) {
    InstallerFolder folder;
    folder.SetEngineExitCode(7);  // not passed on
    const std::wstring eventName = L"ignition-test-engine-" + std::to_wstring(::GetCurrentProcessId());
    common::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    folder.SetEngineWaitEvent(eventName);

    bool waitedForEngine = false;
    RunOptions options;
    options.whileRunning = [&](HANDLE process, harness::DebugCapture&) {
        for (int i = 0; i < 200 && !folder.EngineStarted(); ++i) ::Sleep(50);
        // The engine runs; ignition must still be waiting for it.
        waitedForEngine = folder.EngineStarted() && ::WaitForSingleObject(process, 500) == WAIT_TIMEOUT;
        ::SetEvent(release.get());
    };
    RunResult r = RunIgnition(folder, L"cdinstall bundleInstall.xml \"gameid=12\"", options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(waitedForEngine);
    EXPECT_TRUE(r.boxes.empty());
    auto record = folder.EngineRecord();
    ASSERT_EQ(2u, record.size());
    EXPECT_EQ(std::string(kEngineBase) + " \"cdinstall\" \"bundleInstall.xml\" \"gameid=12\"", record[0]);
    EXPECT_EQ(harness::Narrow(folder.path()), record[1]);
    // The dialog server was unregistered first, from the installer folder.
    EXPECT_EQ("unregister " + harness::Narrow(folder.path()) + "\n", folder.StagehandCalls());
    // The arguments are logged one fragment each.
    std::vector<std::string> expected = {"Arglist contents", harness::Narrow(folder.Exe()), "cdinstall",
                                         "bundleInstall.xml", "gameid=12"};
    EXPECT_EQ(expected, r.debug);
}

TEST(Launch, PassesOnDashArgumentsUnquotedAndEmptyOnesAsQuotes) {
    InstallerFolder folder;
    RunResult r = RunIgnition(folder, L"--abc \"x y\"");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string(kEngineBase) + " --abc \"x y\"", EngineCommand(folder));

    InstallerFolder second;
    r = RunIgnition(second, L"\"\" -x --");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string(kEngineBase) + " \"\" \"-x\" --", EngineCommand(second));
}

TEST(Launch, CleanupWordWithoutFolderOrInOtherCaseIsLaunchMode) {
    InstallerFolder folder;
    RunResult r = RunIgnition(folder, L"cleanup");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string(kEngineBase) + " \"cleanup\"", EngineCommand(folder));
    EXPECT_EQ(std::string::npos, r.DebugText().find("Calling cleanup()"));

    InstallerFolder other;
    r = RunIgnition(other, L"Cleanup x");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string(kEngineBase) + " \"Cleanup\" \"x\"", EngineCommand(other));
    EXPECT_TRUE(harness::DirExists(other.path()));
}

TEST(Launch, EngineCommandLineGrowsToThePlatformLimitAndNoFurther) {
    // Arguments of 1000 characters (1003 each on the engine's line) plus one that brings
    // the engine's command line to exactly 32 766 characters.
    auto args = [](size_t last) {
        std::wstring a;
        for (int i = 0; i < 32; ++i) a += L" " + std::wstring(1000, static_cast<wchar_t>(L'a' + i % 26));
        return a + L" " + std::wstring(last, L'z');
    };
    const size_t base = strlen(kEngineBase);
    const size_t fits = 32766 - base - 32 * 1003 - 3;

    InstallerFolder folder;
    RunResult r = RunIgnition(folder, args(fits).substr(1));
    EXPECT_EQ(0u, r.exitCode);
    std::string command = EngineCommand(folder);
    EXPECT_EQ(32766u, command.size());
    EXPECT_EQ(std::string(kEngineBase) + " \"" + std::string(1000, 'a') + "\"", command.substr(0, base + 1003));
    EXPECT_EQ(" \"" + std::string(fits, 'z') + "\"", command.substr(command.size() - fits - 3));

    InstallerFolder over;
    r = RunIgnition(over, args(fits + 1).substr(1));
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_FALSE(over.EngineStarted());
    EXPECT_NE(std::string::npos, r.DebugText().find("Engine command line too long"));
    // regsvr32 ran before, as always.
    EXPECT_NE(std::string::npos, over.StagehandCalls().find("unregister"));
}

TEST(Launch, EngineThatCannotStartIsNotReported) {
    InstallerFolder folder;
    ASSERT_TRUE(::DeleteFileW(folder.Bin(L"scriptdeck.exe").c_str()));
    RunResult r = RunIgnition(folder, L"a");
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(std::string::npos, folder.StagehandCalls().find("unregister"));
}

TEST(Launch, UnregistrationFailuresArePassedOnWithTheirMessage) {
    InstallerFolder missing;
    missing.RemoveStagehand();  // regsvr32 exits with 3
    RunResult r = RunIgnition(missing, L"a");
    EXPECT_EQ(3u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(L"", r.boxes[0].caption);
    EXPECT_EQ(L"Failed to register COM object. Error: 3", r.boxes[0].text);
    EXPECT_FALSE(missing.EngineStarted());

    InstallerFolder failing;
    failing.SetUnregisterResult(E_FAIL);  // regsvr32 exits with 5
    r = RunIgnition(failing, L"a");
    EXPECT_EQ(5u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(kEnglishNoRightsCaption, r.boxes[0].caption);
    EXPECT_EQ(kEnglishNoRights, r.boxes[0].text);
    EXPECT_FALSE(failing.EngineStarted());
    EXPECT_NE(std::string::npos, failing.StagehandCalls().find("unregister"));
}

TEST(Launch, WindowsVersionFourIsRefusedVersionFiveAccepted) {
    {
        WineVersionFor nt4(L"nt40");
        InstallerFolder folder;
        RunResult r = RunIgnition(folder, L"a");
        EXPECT_EQ(static_cast<DWORD>(-3), r.exitCode);
        ASSERT_EQ(1u, r.boxes.size());
        EXPECT_EQ(L"", r.boxes[0].caption);
        EXPECT_EQ(kEnglishTooOld, r.boxes[0].text);
        EXPECT_FALSE(folder.EngineStarted());
        EXPECT_EQ("", folder.StagehandCalls());
    }
    {
        WineVersionFor xp(L"winxp");
        InstallerFolder folder;
        RunResult r = RunIgnition(folder, L"a");
        EXPECT_EQ(0u, r.exitCode);
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(std::string(kEngineBase) + " \"a\"", EngineCommand(folder));
    }
}

TEST(Launch, AdministratorsDenyOnlyTokenGetsTheRightsMessage) {
    common::UniqueHandle own = OwnToken(TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY);
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize));
    SID_AND_ATTRIBUTES deny = {sid, 0};
    common::UniqueHandle restricted;
    ASSERT_TRUE(::CreateRestrictedToken(own.get(), 0, 1, &deny, 0, nullptr, 0, nullptr, restricted.put()));

    InstallerFolder folder;
    RunOptions options;
    options.token = restricted.get();
    RunResult r = RunIgnition(folder, L"a", options);
    EXPECT_EQ(static_cast<DWORD>(-5), r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(kEnglishNoRightsCaption, r.boxes[0].caption);
    EXPECT_EQ(kEnglishNoRights, r.boxes[0].text);
    EXPECT_EQ("Not enough privileges to run the installer", r.DebugText());
    EXPECT_EQ("", folder.StagehandCalls());
    EXPECT_FALSE(folder.EngineStarted());
}

TEST(Launch, NonElevatedAdministratorPasses) {
    common::UniqueHandle own = OwnToken(TOKEN_QUERY);
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size));
    common::UniqueHandle limited(linked.LinkedToken);
    // A limited token whose own Administrators entry is deny-only: only the judgement by
    // its linked full token lets it pass.
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize));
    SID_AND_ATTRIBUTES deny = {sid, 0};
    common::UniqueHandle primary;
    ASSERT_TRUE(::DuplicateTokenEx(limited.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                                   primary.put()));
    common::UniqueHandle restricted;
    ASSERT_TRUE(::CreateRestrictedToken(primary.get(), 0, 1, &deny, 0, nullptr, 0, nullptr, restricted.put()));
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    ASSERT_TRUE(::GetTokenInformation(restricted.get(), TokenElevationType, &type, sizeof type, &size));
    ASSERT_EQ(TokenElevationTypeLimited, type);
    common::UniqueHandle check;
    ASSERT_TRUE(::DuplicateToken(restricted.get(), SecurityIdentification, check.put()));
    BOOL member = TRUE;
    ASSERT_TRUE(::CheckTokenMembership(check.get(), sid, &member));
    ASSERT_FALSE(member);

    InstallerFolder folder;
    RunOptions options;
    options.token = restricted.get();
    RunResult r = RunIgnition(folder, L"a", options);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(std::string(kEngineBase) + " \"a\"", EngineCommand(folder));
}
