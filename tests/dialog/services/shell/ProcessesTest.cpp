// Starting and ending programs through the shell object: the disc hand-off to
// ignition, shell execution and ending a process by image name.
#include <gtest/gtest.h>

#include "Harness.h"
#include "common/Handle.h"
#include "ShellTestSupport.h"
#include "stagehand.h"

#include <sddl.h>

#include <map>

using common::ComPtr;
using common::UniqueHandle;
using harness::Call;
using harness::CallOk;
using harness::Str;
using harness::TempDir;

namespace {

ComPtr<IDispatch> ShellObject() { return harness::Create(L"PebbleUtil.ShellCtl"); }

std::wstring HostExe() { return harness::Join(harness::BinDir(), L"shell_host.exe"); }

// A copy of the stand-in host under a name of its own, sleeping until ended.
struct Sleeper {
    // A protected sleeper may be examined but not terminated by others (its creator
    // keeps a handle with every right, for the cleanup).
    Sleeper(const TempDir& dir, const std::wstring& exeName, bool protect = false) {
        path = dir / exeName;
        if (!harness::FileExists(path)) harness::CopyFileOrThrow(HostExe(), path);
        std::wstring cmd = L"\"" + path + L"\" sleep 60000";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (protect) {
            EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:(A;;0x1FFFFE;;;WD)", SDDL_REVISION_1, &sd, nullptr));  // all but PROCESS_TERMINATE
        }
        common::UniqueLocalMem sdOwner(sd);
        SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
        if (::CreateProcessW(nullptr, &cmd[0], protect ? &sa : nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                             &pi)) {
            process.reset(pi.hProcess);
            ::CloseHandle(pi.hThread);
            // Wait until its modules are loaded so it can be examined.
            ::WaitForInputIdle(process.get(), 2000);
            ::Sleep(300);
        }
    }
    ~Sleeper() {
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process.get(), 99);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    bool Running() const { return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }
    std::wstring path;
    UniqueHandle process;
};

std::map<std::wstring, std::vector<std::wstring>> ParseRecord(const std::string& utf8) {
    std::map<std::wstring, std::vector<std::wstring>> out;
    std::wstring text = shelltest::Utf8ToWide(utf8);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) out[line.substr(0, eq)].push_back(line.substr(eq + 1));
        pos = end + 1;
    }
    return out;
}

}  // namespace

TEST(ShellDiscInstall, StartsIgnitionFromTheDiscWithTheExactCommandLine) {
    TempDir root(L"disc");
    const std::wstring disc = root / L"Game Disc";
    const std::wstring bin = disc + L"\\common\\bin";
    ASSERT_TRUE(::CreateDirectoryW(disc.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((disc + L"\\common").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"shell_disc_ignition.exe"), bin + L"\\ignition.exe");

    auto shell = ShellObject();
    EXPECT_HR(S_OK, Call(shell.get(), L"InstallFromCD",
                         {Str(L"G-1001"), Str(L"The Pebble Game"), Str(L"retail"), Str(L"de"), Str(disc),
                          Str(L"Web Shop")}));
    std::string record;
    ASSERT_TRUE(shelltest::WaitForFile(bin + L"\\launch.txt", record)) << "ignition was not started";
    auto r = ParseRecord(record);

    const std::wstring expected = L"\"" + disc + L"\\common\\bin\\ignition.exe\" cdinstall bundleInstall.xml "
                                  L"gameid=\"G-1001\" gamename=\"The Pebble Game\" cdroot=\"" + disc +
                                  L"\" tps=\"retail\" gamelang=\"de\" StoreFront=\"Web Shop";
    ASSERT_EQ(1u, r[L"cmdline"].size());
    EXPECT_EQ(expected, r[L"cmdline"][0]);
    ASSERT_EQ(1u, r[L"cwd"].size());
    EXPECT_EQ(0, lstrcmpiW((disc + L"\\common").c_str(), r[L"cwd"][0].c_str())) << harness::Narrow(r[L"cwd"][0]);
    // As ignition's argument parser sees it: the open quotation runs to the end.
    const std::vector<std::wstring> args = {L"cdinstall", L"bundleInstall.xml", L"gameid=G-1001",
                                            L"gamename=The Pebble Game", L"cdroot=" + disc, L"tps=retail",
                                            L"gamelang=de", L"StoreFront=Web Shop"};
    EXPECT_EQ(args, r[L"arg"]);
}

TEST(ShellDiscInstall, MissingDiscProgramIsNotAnError) {
    TempDir root(L"disc");
    auto shell = ShellObject();
    EXPECT_HR(S_OK, Call(shell.get(), L"InstallFromCD",
                         {Str(L"1"), Str(L"n"), Str(L"t"), Str(L"en"), Str(root.path()), Str(L"s")}));
}

TEST(ShellExecute, OpenAndRunAsStartTheProgramWithItsParameters) {
    TempDir dir(L"exec");
    auto shell = ShellObject();
    harness::BoxAnswerer boxes(IDOK, harness::BoxAnswerer::kOwnProcessTree);
    struct Case {
        const wchar_t* method;
        const wchar_t* file;
    } cases[] = {{L"ShellExec", L"open.txt"}, {L"ShellExecRunAs", L"runas.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(harness::Narrow(c.method));
        const std::wstring out = dir / c.file;
        const std::wstring params = L"record \"" + out + L"\" two words";
        EXPECT_HR(S_OK, Call(shell.get(), c.method, {Str(HostExe()), Str(params)}));
        std::string record;
        ASSERT_TRUE(shelltest::WaitForFile(out, record)) << "program not started";
        const std::wstring cmdline = shelltest::Utf8ToWide(record.substr(0, record.find('\n')));
        EXPECT_NE(std::wstring::npos, cmdline.find(params)) << record;
    }
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST(ShellExecute, MissingProgramGivesSFalse) {
    TempDir dir(L"exec");
    // The shell may explain the failure in a box.
    harness::BoxAnswerer boxes(IDOK, harness::BoxAnswerer::kOwnProcessTree);
    ComPtr<IDispatch> shell = ShellObject();
    ComPtr<IShellCtl> itf;
    ASSERT_HR(S_OK, shell->QueryInterface(IID_IShellCtl, itf.put_void()));
    common::Bstr missing((dir / L"no-such-program.exe").c_str()), params(L"x");
    EXPECT_HR(S_FALSE, itf->ShellExec(missing.get(), params.get()));
    EXPECT_HR(S_FALSE, itf->ShellExecRunAs(missing.get(), params.get()));
    // Late-bound the script sees success.
    EXPECT_HR(S_OK, Call(shell.get(), L"ShellExec", {Str(dir / L"no-such-program.exe"), Str(L"")}));
}

TEST(ShellKillProcess, EndsTheFirstProcessWithExactlyThatImageName) {
    // Under the user-mode emulator of 32-bit code, Wine reads no other process's module
    // list (the emulator maps each process's memory elsewhere), so no name ever matches.
    if (::GetEnvironmentVariableW(L"INSTALLER_TESTS_EMULATED", nullptr, 0) != 0)
        GTEST_SKIP() << "other processes' module names are unreadable under emulation";
    TempDir dir(L"kill");
    wchar_t name[64];
    swprintf(name, 64, L"victim%lu.exe", ::GetCurrentProcessId());
    Sleeper victim(dir, name);
    ASSERT_TRUE(victim.Running());
    auto shell = ShellObject();

    std::wstring upper = name;
    for (auto& ch : upper) ch = towupper(ch);
    EXPECT_EQ(0, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(upper)}).get()));
    EXPECT_EQ(0, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(L"victim")}).get()));
    EXPECT_EQ(0, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(L"")}).get()));
    EXPECT_TRUE(victim.Running());

    EXPECT_EQ(2, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(name)}).get()));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(victim.process.get(), 10000));
    DWORD code = 99;
    ::GetExitCodeProcess(victim.process.get(), &code);
    EXPECT_EQ(0u, code);
    // Gone now: nothing of that name is left.
    EXPECT_EQ(0, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(name)}).get()));
}

TEST(ShellKillProcess, MatchThatCannotBeEndedGivesOneAndTheWalkGoesOn) {
    // Under the user-mode emulator of 32-bit code, Wine reads no other process's module
    // list (the emulator maps each process's memory elsewhere), so no name ever matches.
    if (::GetEnvironmentVariableW(L"INSTALLER_TESTS_EMULATED", nullptr, 0) != 0)
        GTEST_SKIP() << "other processes' module names are unreadable under emulation";
    TempDir dir(L"kill");
    wchar_t name[64];
    swprintf(name, 64, L"guarded%lu.exe", ::GetCurrentProcessId());
    Sleeper guarded(dir, name, true);
    ASSERT_TRUE(guarded.Running());
    auto shell = ShellObject();
    EXPECT_EQ(1, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(name)}).get()));
    EXPECT_TRUE(guarded.Running());

    // A second process of that name that can be ended: it is, the guarded one stays.
    Sleeper plain(dir, name);
    ASSERT_TRUE(plain.Running());
    EXPECT_EQ(2, harness::AsLong(*CallOk(shell.get(), L"KillProcess", {Str(name)}).get()));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(plain.process.get(), 10000));
    EXPECT_TRUE(guarded.Running());
}

TEST(ShellDiscInstall, LongValuesReachIgnitionWhole) {
    TempDir root(L"disc");
    const std::wstring disc = root.path();
    const std::wstring bin = disc + L"\\common\\bin";
    ASSERT_TRUE(::CreateDirectoryW((disc + L"\\common").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"shell_disc_ignition.exe"), bin + L"\\ignition.exe");

    // Far beyond a 260-character buffer.
    const std::wstring name(900, L'n'), tps(700, L't');
    auto shell = ShellObject();
    EXPECT_HR(S_OK, Call(shell.get(), L"InstallFromCD",
                         {Str(L"7"), Str(name), Str(tps), Str(L"fr"), Str(disc), Str(L"Shop")}));
    std::string record;
    ASSERT_TRUE(shelltest::WaitForFile(bin + L"\\launch.txt", record)) << "ignition was not started";
    auto r = ParseRecord(record);
    const std::vector<std::wstring> args = {L"cdinstall", L"bundleInstall.xml", L"gameid=7", L"gamename=" + name,
                                            L"cdroot=" + disc, L"tps=" + tps, L"gamelang=fr", L"StoreFront=Shop"};
    EXPECT_EQ(args, r[L"arg"]);
}
