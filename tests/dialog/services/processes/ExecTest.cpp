// Launching and watching programs: Exec, IsFinished, ExitCode, KillProcess, ShellExec,
// Sleep, and the life of watchers across launches and object releases.
#include <gtest/gtest.h>

#include "ProcessTestSupport.h"
#include "stagehand.h"

using namespace proctest;
using harness::Str;
using harness::UI4;

namespace {

common::ComPtr<IDispatch> NewMgr() { return harness::Create(L"PebbleUtil.ProcessMgr"); }

// Pid the "tree" mode of the child recorded in dir (its proc-0.txt).
DWORD RecordedPid(const harness::TempDir& dir) {
    std::wstring file = dir / L"proc-0.txt";
    if (!WaitForFile(file)) return 0;
    return std::strtoul(harness::ReadFile(file).c_str(), nullptr, 10);
}

}  // namespace

TEST(ProcessExec, HiddenAndShownStartupAsTheChildSeesThem) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"pm");
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"report \"" + (dir / L"hidden.txt") + L"\"", true, false));
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"report \"" + (dir / L"shown.txt") + L"\"", false, false));
    ASSERT_TRUE(WaitForFile(dir / L"hidden.txt"));
    ASSERT_TRUE(WaitForFile(dir / L"shown.txt"));
    auto hidden = ReadReport(dir / L"hidden.txt");
    auto shown = ReadReport(dir / L"shown.txt");
    // STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION with SW_HIDE.
    EXPECT_EQ("7", hidden["flags"]);
    EXPECT_EQ("0", hidden["show"]);
    EXPECT_EQ(0ul, std::strtoul(shown["flags"].c_str(), nullptr, 10) & STARTF_USESHOWWINDOW);
}

TEST(ProcessExec, CommandLineIsModThenSpaceAndCmdline) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"pm");
    // Empty cmdline: exactly mod, no trailing space.
    std::wstring mod = Child() + L" report \"" + (dir / L"a.txt") + L"\"";
    ASSERT_TRUE(Exec(mgr.get(), mod, L"", true, false));
    ASSERT_TRUE(WaitForFile(dir / L"a.txt"));
    EXPECT_EQ(harness::Narrow(mod), ReadReport(dir / L"a.txt")["cmdline"]);

    std::wstring args = L"report \"" + (dir / L"b.txt") + L"\"";
    ASSERT_TRUE(Exec(mgr.get(), Child(), args, true, false));
    ASSERT_TRUE(WaitForFile(dir / L"b.txt"));
    EXPECT_EQ(harness::Narrow(Child() + L" " + args), ReadReport(dir / L"b.txt")["cmdline"]);
}

TEST(ProcessExec, WorkDirHonouredAndEmptyInheritsOurs) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"pm");
    harness::TempDir work(L"wd");
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"report \"" + (dir / L"given.txt") + L"\"", true, false, work.path()));
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"report \"" + (dir / L"empty.txt") + L"\"", true, false, L""));
    ASSERT_TRUE(WaitForFile(dir / L"given.txt"));
    ASSERT_TRUE(WaitForFile(dir / L"empty.txt"));
    wchar_t ours[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, ours);
    auto same = [](std::string a, std::string b) {
        while (!a.empty() && a.back() == '\\') a.pop_back();
        while (!b.empty() && b.back() == '\\') b.pop_back();
        return _stricmp(a.c_str(), b.c_str()) == 0;
    };
    std::string given = ReadReport(dir / L"given.txt")["cwd"];
    std::string inherited = ReadReport(dir / L"empty.txt")["cwd"];
    EXPECT_TRUE(same(harness::Narrow(work.path()), given)) << given;
    EXPECT_TRUE(same(harness::Narrow(ours), inherited)) << inherited;
}

TEST(ProcessExec, FreshObjectIsNotFinishedWithExitCodeZero) {
    auto mgr = NewMgr();
    EXPECT_FALSE(IsFinished(mgr.get()));
    EXPECT_EQ(0u, ExitCode(mgr.get()));
}

TEST(ProcessExec, FinishedOnlyAfterTheFirstPollThenExitCode) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 3 0", true, true));
    // The watcher first looks about 500 ms after the launch.
    EXPECT_FALSE(IsFinished(mgr.get()));
    // The script's loop: poll, and sleep through the object between polls.
    int polls = 0;
    while (!IsFinished(mgr.get()) && polls++ < 200) EXPECT_HR(S_OK, harness::Call(mgr.get(), L"Sleep", {UI4(100)}));
    ASSERT_TRUE(IsFinished(mgr.get()));
    EXPECT_GE(polls, 1);
    EXPECT_EQ(3u, ExitCode(mgr.get()));
}

TEST(ProcessExec, ChildExitingWith259CountsAsFinished) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 259 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(259u, ExitCode(mgr.get()));
}

TEST(ProcessExec, FailedStartKeepsFlagAndExitCode) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 7 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    harness::TempDir dir(L"pm");
    EXPECT_FALSE(Exec(mgr.get(), L"\"" + (dir / L"missing.exe") + L"\"", L"", true, true));
    EXPECT_TRUE(IsFinished(mgr.get()));
    EXPECT_EQ(7u, ExitCode(mgr.get()));
}

TEST(ProcessExec, UnwatchedAfterFinishedKeepsFlagAndKillDoesNothing) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 5 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    harness::TempDir dir(L"pm");
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"tree 1 20000 \"" + dir.path() + L"\" -", true, false));
    DWORD pid = RecordedPid(dir);
    ASSERT_NE(0u, pid);
    EXPECT_TRUE(IsFinished(mgr.get()));
    EXPECT_EQ(5u, ExitCode(mgr.get()));
    harness::CallOk(mgr.get(), L"KillProcess");
    ::Sleep(300);
    EXPECT_TRUE(ProcessAlive(pid));
    Kill(pid);
}

TEST(ProcessExec, KillProcessOfWatchedRecordsMinusOne) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 0 30000", true, true));
    harness::CallOk(mgr.get(), L"KillProcess");
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(4294967295u, ExitCode(mgr.get()));
}

TEST(ProcessExec, WatcherFollowsOnlyItsOwnLaunch) {
    auto mgr = NewMgr();
    // A newer watched launch: only its end counts.
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 9 1500", true, true));
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 4 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(4u, ExitCode(mgr.get()));
    ::Sleep(2500);  // the first program has ended by now
    EXPECT_EQ(4u, ExitCode(mgr.get()));

    // A failed launch ends the watch of the earlier one: its end is never reported.
    auto other = NewMgr();
    ASSERT_TRUE(Exec(other.get(), Child(), L"exit 6 1500", true, true));
    EXPECT_FALSE(Exec(other.get(), L"\"Z:\\no\\such\\program.exe\"", L"", true, true));
    ::Sleep(2500);
    EXPECT_FALSE(IsFinished(other.get()));
    EXPECT_NE(6u, ExitCode(other.get()));
}

TEST(ProcessExec, ShellExecOfMissingFileIsSFalse) {
    harness::BoxAnswerer boxes(IDOK, ::GetCurrentProcessId());
    auto mgr = NewMgr();
    harness::TempDir dir(L"pm");
    // The interface itself tells the soft failure apart...
    common::ComPtr<IProcessMgr> direct;
    ASSERT_HR(S_OK, mgr.As(direct));
    common::Bstr missing((dir / L"no-such-file.txt").c_str());
    common::Bstr program(ChildPath().c_str());
    EXPECT_HR(S_FALSE, direct->ShellExec(missing.get()));
    // (an existing program starts; it exits at once without arguments)
    EXPECT_HR(S_OK, direct->ShellExec(program.get()));
    // ...while a script calling late-bound sees no error either way.
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"ShellExec", {Str(dir / L"no-such-file.txt")}));
    // Names the shell can't hold are refused before they reach it (a page may pass anything).
    for (size_t length : {300u, 1000u, 40000u}) {
        common::Bstr longPath((dir.path() + L"\\" + std::wstring(length, L'a')).c_str());
        EXPECT_HR(S_FALSE, direct->ShellExec(longPath.get())) << length;
        common::Bstr longUrl((L"nosuchscheme://" + std::wstring(length, L'b')).c_str());
        EXPECT_HR(S_FALSE, direct->ShellExec(longUrl.get())) << length;
    }
    // The longest text accepted still reaches the shell safely.
    common::Bstr longest((L"nosuchscheme://" + std::wstring(MAX_PATH - 1 - 15, L'c')).c_str());
    EXPECT_HR(S_FALSE, direct->ShellExec(longest.get()));
}

// Once the end is seen, the watcher's thread and handles are gone; the object keeps
// only the process and thread handles of its last launch.
TEST(ProcessExec, FinishedWatcherLeavesOnlyTheLaunchHandles) {
    {
        auto warm = NewMgr();
        ASSERT_TRUE(Exec(warm.get(), Child(), L"exit 0 0", true, true));
        ASSERT_TRUE(WaitFinished(warm.get()));
    }
    auto mgr = NewMgr();
    ::Sleep(300);
    LONG threads = ThreadCount();
    DWORD handles = HandleCount();
    ASSERT_GT(handles, 0u);
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 0 1000", true, true));
    EXPECT_EQ(threads + 1, ThreadCount());
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threads; }, 5000)) << ThreadCount() << " vs " << threads;
    EXPECT_EQ(handles + 2, HandleCount());
}

// 200 watched launches on one object, then objects released while their watchers run:
// nothing crashes and the process's threads and handles return to where they were.
TEST(ProcessExecStress, ManyLaunchesAndReleasesMidWatchLeaveNothingBehind) {
    {
        // Warm-up: COM, the type library and the module are loaded once for good.
        auto mgr = NewMgr();
        ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 0 0", true, true));
        ASSERT_TRUE(WaitFinished(mgr.get()));
    }
    ::Sleep(300);
    LONG threads = ThreadCount();
    DWORD handles = HandleCount();
    ASSERT_GT(threads, 0);
    ASSERT_GT(handles, 0u);

    // Under the user-mode emulator a launch takes about a second: fewer of them there.
    const int launches = ::GetEnvironmentVariableW(L"INSTALLER_TESTS_EMULATED", nullptr, 0) != 0 ? 40 : 200;
    {
        auto mgr = NewMgr();
        for (int i = 0; i < launches; ++i) ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 1 0", true, true)) << i;
        ASSERT_TRUE(WaitFinished(mgr.get()));
        EXPECT_EQ(1u, ExitCode(mgr.get()));
    }
    for (int i = 0; i < 20; ++i) {
        auto mgr = NewMgr();
        ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 0 3000", true, true));
        if (i % 2) ::Sleep(520);  // some released right after a poll
    }
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threads; }, 10000)) << ThreadCount() << " vs " << threads;
    EXPECT_TRUE(WaitUntil([&] { return HandleCount() == handles; }, 10000)) << HandleCount() << " vs " << handles;
}
