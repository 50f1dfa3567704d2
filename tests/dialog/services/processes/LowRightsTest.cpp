// Launches without the installer's rights: CreateLUAProcess (restricted token),
// CreateVistaTaskLow (the task scheduler) and ExecLow with its fallback.
#include <gtest/gtest.h>
#include <taskschd.h>

#include <cstring>

#include "ProcessTestSupport.h"
#include "stagehand.h"

using namespace proctest;
using harness::Bool;
using harness::Str;

namespace {

common::ComPtr<IDispatch> NewMgr() { return harness::Create(L"PebbleUtil.ProcessMgr"); }

bool CreateLua(IDispatch* mgr, const std::wstring& mod, const std::wstring& cmdline, bool show, bool watch,
               const std::wstring& workDir = L"") {
    common::Variant r =
        harness::CallOk(mgr, L"CreateLUAProcess", {Str(mod), Str(cmdline), Bool(show), Bool(watch), Str(workDir)});
    return harness::AsBool(*r.get());
}

// The task scheduler stand-in (scheduler_standin.dll) made "Schedule.Service" for this
// thread through an activation context, with its call log in a scratch folder.
class SchedulerStandIn {
public:
    SchedulerStandIn() : dir_(L"sched") {
        harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"scheduler_standin.dll"),
                                 dir_ / L"scheduler_standin.dll");
        harness::WriteFile(dir_ / L"standin.manifest",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
                           "  <assemblyIdentity type=\"win32\" name=\"pm.scheduler.standin\" version=\"1.0.0.0\"/>\n"
                           "  <file name=\"scheduler_standin.dll\">\n"
                           "    <comClass clsid=\"{5C3E8A41-7B2D-4F19-9A6E-2D8F1B4C7E90}\" threadingModel=\"Both\"\n"
                           "              progid=\"Schedule.Service\"/>\n"
                           "  </file>\n"
                           "</assembly>\n");
        std::wstring manifest = dir_ / L"standin.manifest";
        ACTCTXW ctx = {};
        ctx.cbSize = sizeof ctx;
        ctx.lpSource = manifest.c_str();
        context_ = ::CreateActCtxW(&ctx);
        if (context_ != INVALID_HANDLE_VALUE) active_ = ::ActivateActCtx(context_, &cookie_) != FALSE;
        ::SetEnvironmentVariableW(L"PM_SCHEDULER_LOG", Log().c_str());
        ::SetEnvironmentVariableW(L"PM_SCHEDULER_FAIL", nullptr);
    }
    ~SchedulerStandIn() {
        if (active_) ::DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
        ::SetEnvironmentVariableW(L"PM_SCHEDULER_LOG", nullptr);
        ::SetEnvironmentVariableW(L"PM_SCHEDULER_FAIL", nullptr);
    }
    bool active() const { return active_; }
    std::wstring Log() const { return dir_ / L"calls.log"; }
    std::string Calls() const { return harness::FileExists(Log()) ? harness::ReadFile(Log()) : std::string(); }
    void FailAt(const wchar_t* step) { ::SetEnvironmentVariableW(L"PM_SCHEDULER_FAIL", step); }
    void ClearLog() { ::DeleteFileW(Log().c_str()); }

private:
    harness::TempDir dir_;
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ProcessLowRights, LuaProcessRunsWithARestrictedToken) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"lua");
    ASSERT_TRUE(CreateLua(mgr.get(), Child(), L"report \"" + (dir / L"lua.txt") + L"\"", true, true));
    // The impersonation ended before the call returned.
    HANDLE token = nullptr;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), ::GetLastError());
    if (token) ::CloseHandle(token);

    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(0u, ExitCode(mgr.get()));
    auto seen = ReadReport(dir / L"lua.txt");
    EXPECT_TRUE(seen["admin"] == "0" || seen["elevated"] == "0") << seen["admin"] << " " << seen["elevated"];
    EXPECT_EQ("7", seen["flags"]);
    EXPECT_EQ("1", seen["show"]);  // SW_SHOWNORMAL

    // For comparison: Exec runs with our own token.
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"report \"" + (dir / L"full.txt") + L"\"", true, false));
    ASSERT_TRUE(WaitForFile(dir / L"full.txt"));
    auto full = ReadReport(dir / L"full.txt");
    EXPECT_EQ("1", full["admin"]);
}

TEST(ProcessLowRights, LuaProcessHonoursWorkDirAndFailsForMissingProgram) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"lua");
    harness::TempDir work(L"wd");
    ASSERT_TRUE(CreateLua(mgr.get(), Child(), L"report \"" + (dir / L"lua.txt") + L"\"", false, false, work.path()));
    ASSERT_TRUE(WaitForFile(dir / L"lua.txt"));
    std::string cwd = ReadReport(dir / L"lua.txt")["cwd"];
    EXPECT_TRUE(SameFolder(work.path(), cwd)) << cwd;
    EXPECT_FALSE(CreateLua(mgr.get(), L"\"" + (dir / L"missing.exe") + L"\"", L"", false, true));
    EXPECT_FALSE(IsFinished(mgr.get()));
}

TEST(ProcessLowRights, VistaTaskLowIsDefinedAsDocumentedAndReplaced) {
    SchedulerStandIn scheduler;
    ASSERT_TRUE(scheduler.active());
    auto mgr = NewMgr();
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(L"C:\\a\\first.exe"), Str(L"one"), Str(L"C:\\w1")}));
    std::string first = scheduler.Calls();
    const char* expected[] = {
        "CreateInstance\n",
        "Connect vt0 vt0 vt0 vt0\n",
        "GetFolder \\\n",
        "DeleteTask Vista Task Low flags=0 not found\n",
        "NewTask 0\n",
        "get_Settings\n",
        "put_StartWhenAvailable 1\n",
        "put_Priority 4\n",
        "get_Triggers\n",
        "Trigger.Create 7\n",
        "QueryInterface IRegistrationTrigger\n",
        "Trigger.put_Id Trigger1\n",
        "get_Actions\n",
        "Action.Create 0\n",
        "put_Path C:\\a\\first.exe\n",
        "put_Arguments one\n",
        "put_WorkingDirectory C:\\w1\n",
        "RegisterTaskDefinition Vista Task Low flags=6 user=vt0 password=vt0 logon=3 sddl=bstr:''\n",
    };
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = first.find(line, at);
        EXPECT_NE(std::string::npos, found) << "missing or out of order: " << line << "in\n" << first;
        if (found != std::string::npos) at = found + strlen(line);
    }

    // The second call replaces the task; a null working directory is left unset.
    scheduler.ClearLog();
    common::ComPtr<IProcessMgr> direct;
    ASSERT_HR(S_OK, mgr.As(direct));
    common::Bstr path(L"C:\\b\\second.exe"), args(L"two three");
    EXPECT_HR(S_OK, direct->CreateVistaTaskLow(path.get(), args.get(), nullptr));
    std::string second = scheduler.Calls();
    EXPECT_TRUE(Contains(second, "DeleteTask Vista Task Low flags=0 deleted\n")) << second;
    EXPECT_FALSE(Contains(second, "put_WorkingDirectory")) << second;
    EXPECT_TRUE(Contains(second,
                         "Registered Vista Task Low: settings: startWhenAvailable=1 priority=4 triggers=1 type=7 "
                         "id=Trigger1 actions=1 path=C:\\b\\second.exe args=two three dir=<unset>\n"))
        << second;
    // Only the one task is registered.
    size_t registered = 0;
    for (size_t p = second.find("Registered "); p != std::string::npos; p = second.find("Registered ", p + 1)) ++registered;
    EXPECT_EQ(1u, registered) << second;
}

TEST(ProcessLowRights, VistaTaskLowStopsAtTheFirstFailingCall) {
    SchedulerStandIn scheduler;
    ASSERT_TRUE(scheduler.active());
    auto mgr = NewMgr();
    common::ComPtr<IProcessMgr> direct;
    ASSERT_HR(S_OK, mgr.As(direct));
    common::Bstr path(L"C:\\x.exe"), args(L""), dir(L"C:\\");
    for (const wchar_t* step : {L"Connect", L"GetFolder", L"NewTask", L"Trigger.Create", L"put_Path",
                                L"RegisterTaskDefinition"}) {
        scheduler.ClearLog();
        scheduler.FailAt(step);
        EXPECT_HR(E_ACCESSDENIED, direct->CreateVistaTaskLow(path.get(), args.get(), dir.get())) << harness::Narrow(step);
        std::string calls = scheduler.Calls();
        std::string last = calls.substr(calls.rfind('\n', calls.size() - 2) + 1);
        EXPECT_EQ(0u, last.find(harness::Narrow(step))) << calls;
    }
    // A script sees the failure as an error of the call.
    scheduler.FailAt(L"Connect");
    EXPECT_TRUE(FAILED(harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(L"x"), Str(L""), Str(L"")})));
}

TEST(ProcessLowRights, ExecLowThroughTheSchedulerLeavesTheTrackedProcessAlone) {
    SchedulerStandIn scheduler;
    ASSERT_TRUE(scheduler.active());
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 8 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    common::Bstr work(L"C:\\work");
    BSTR workRef = work.get();
    common::Variant r;
    ASSERT_HR(S_OK, harness::Call(mgr.get(), L"ExecLow", {Str(ChildPath()), Str(L"exit 3 0"), harness::Ref(&workRef)}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    std::string calls = scheduler.Calls();
    EXPECT_TRUE(Contains(calls, "path=" + harness::Narrow(ChildPath()) + " args=exit 3 0 dir=C:\\work\n")) << calls;
    EXPECT_TRUE(IsFinished(mgr.get()));
    EXPECT_EQ(8u, ExitCode(mgr.get()));
}

TEST(ProcessLowRights, ExecLowFallsBackToExecWhenTheSchedulerFails) {
    SchedulerStandIn scheduler;
    ASSERT_TRUE(scheduler.active());
    scheduler.FailAt(L"RegisterTaskDefinition");
    auto mgr = NewMgr();
    harness::TempDir dir(L"low");
    std::wstring args = L"report \"" + (dir / L"fallback.txt") + L"\"";
    common::Bstr work(dir.path().c_str());
    BSTR workRef = work.get();
    common::Variant r;
    ASSERT_HR(S_OK, harness::Call(mgr.get(), L"ExecLow", {Str(Child()), Str(args), harness::Ref(&workRef)}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    ASSERT_TRUE(WaitForFile(dir / L"fallback.txt"));
    auto seen = ReadReport(dir / L"fallback.txt");
    EXPECT_EQ(harness::Narrow(Child() + L" " + args), seen["cmdline"]);
    EXPECT_TRUE(SameFolder(dir.path(), seen["cwd"])) << seen["cwd"];
    // A null out-pointer is refused.
    common::ComPtr<IProcessMgr> direct;
    ASSERT_HR(S_OK, mgr.As(direct));
    common::Bstr program(ChildPath().c_str()), none(L"");
    EXPECT_HR(E_FAIL, direct->ExecLow(program.get(), none.get(), nullptr, nullptr));
}

// Runs in a process of its own where the scheduler's library can't load (see below).
TEST(ProcessLowRightsOwnProcess, ExecLowFallsBackToExecWithoutScheduler) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"low");
    HRESULT direct = harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(ChildPath()), Str(L""), Str(L"")});
    ASSERT_TRUE(FAILED(direct)) << std::hex << direct;

    common::Variant r;
    std::wstring args = L"report \"" + (dir / L"fallback.txt") + L"\"";
    common::Bstr work(dir.path().c_str());
    BSTR workRef = work.get();
    ASSERT_HR(S_OK, harness::Call(mgr.get(), L"ExecLow", {Str(Child()), Str(args), harness::Ref(&workRef)}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    ASSERT_TRUE(WaitForFile(dir / L"fallback.txt"));
    auto seen = ReadReport(dir / L"fallback.txt");
    EXPECT_EQ(0ul, std::strtoul(seen["flags"].c_str(), nullptr, 10) & STARTF_USESHOWWINDOW);  // shown
    EXPECT_EQ(harness::Narrow(Child() + L" " + args), seen["cmdline"]);
    EXPECT_TRUE(SameFolder(dir.path(), seen["cwd"])) << seen["cwd"];
    // Unwatched: no watcher ever reports it.
    ::Sleep(800);
    EXPECT_FALSE(IsFinished(mgr.get()));
    MarkCaseRan(HasFailure());
}

TEST(ProcessLowRights, ExecLowFallsBackToExecWhenTheSchedulerIsMissing) {
    // The same test program again, with the task scheduler's library disabled for it.
    EXPECT_TRUE(RunCaseInOwnProcess(L"ProcessLowRightsOwnProcess.ExecLowFallsBackToExecWithoutScheduler",
                                    L"WINEDLLOVERRIDES", L"taskschd=d", true));
}

// Runs in a process of its own whose token refuses to be opened by the process itself.
TEST(ProcessLowRightsOwnProcess, LuaProcessWithoutRestrictedTokenIsNotStarted) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"lua");
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 2 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));

    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), WRITE_DAC, &token));
    SECURITY_DESCRIPTOR sd;
    ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    ::InitializeAcl(&acl, sizeof acl, ACL_REVISION);  // empty: nobody gets any access
    ::SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE);
    ASSERT_TRUE(::SetKernelObjectSecurity(token, DACL_SECURITY_INFORMATION, &sd));
    ::CloseHandle(token);
    HANDLE probe = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &probe)) {
        ::CloseHandle(probe);
        GTEST_SKIP() << "the platform ignores the token's DACL for its own process";
    }

    harness::DebugCapture cap;
    EXPECT_FALSE(CreateLua(mgr.get(), Child(), L"report \"" + (dir / L"never.txt") + L"\"", false, true));
    EXPECT_TRUE(cap.WaitFor("CreateRestrictedToken Error: 0x"));
    EXPECT_TRUE(cap.WaitFor("OpenProcessToken Error: 0x5\n")) << cap.Text();
    ::Sleep(700);
    EXPECT_FALSE(harness::FileExists(dir / L"never.txt"));
    // A failed launch: the earlier result stays.
    EXPECT_TRUE(IsFinished(mgr.get()));
    EXPECT_EQ(2u, ExitCode(mgr.get()));
    MarkCaseRan(HasFailure());
}

TEST(ProcessLowRights, LuaProcessWithoutRestrictedTokenIsNotStarted) {
    EXPECT_TRUE(RunCaseInOwnProcess(L"ProcessLowRightsOwnProcess.LuaProcessWithoutRestrictedTokenIsNotStarted"));
}

// Runs as a copy of this program that the platform tells it is Windows XP.
TEST(ProcessLowRightsOwnProcess, LuaProcessBeforeVistaKeepsGroups) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"lua");
    harness::DebugCapture cap;
    ASSERT_TRUE(CreateLua(mgr.get(), Child(), L"report \"" + (dir / L"xp.txt") + L"\"", false, true));
    EXPECT_TRUE(cap.WaitFor("Older than Vista found"));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(0u, ExitCode(mgr.get()));
    // Without the LUA flag only the privileges go; the groups stay as they are.
    EXPECT_EQ("1", ReadReport(dir / L"xp.txt")["admin"]);
    MarkCaseRan(HasFailure());
}

TEST(ProcessLowRights, LuaProcessBeforeVistaKeepsGroups) {
    harness::TempDir dir(L"xp");
    std::wstring exe = L"pm_xp_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    wchar_t self[MAX_PATH];
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    harness::CopyFileOrThrow(self, dir / exe);
    harness::CopyFileOrThrow(ChildPath(), dir / L"process_child.exe");
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe;
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr));
    const wchar_t xp[] = L"winxp";
    ::RegSetValueExW(k, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(xp), sizeof xp);
    ::RegCloseKey(k);

    std::wstring mark = dir / L"ran.txt";
    ::SetEnvironmentVariableW(L"PM_CASE_MARK", mark.c_str());
    harness::ProcessResult run = harness::Run(
        L"\"" + (dir / exe) + L"\" --gtest_also_run_disabled_tests --gtest_filter=ProcessLowRightsOwnProcess.LuaProcessBeforeVistaKeepsGroups",
        dir.path(), 120000);
    ::SetEnvironmentVariableW(L"PM_CASE_MARK", nullptr);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(harness::FileExists(mark));
}
