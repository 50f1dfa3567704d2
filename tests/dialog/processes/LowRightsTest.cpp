// Launches without the installer's rights: CreateLUAProcess (restricted token),
// CreateVistaTaskLow (the task scheduler) and ExecLow with its fallback.
#include <gtest/gtest.h>
#include <taskschd.h>

#include "ProcessTestSupport.h"

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

// The registered "Vista Task Low" as the scheduler keeps it.
struct RegisteredTask {
    HRESULT hr = E_FAIL;
    common::ComPtr<ITaskDefinition> definition;
};

RegisteredTask LoadTask() {
    RegisteredTask out;
    CLSID clsid;
    common::ComPtr<ITaskService> service;
    common::Variant none;
    common::Bstr root(L"\\"), name(L"Vista Task Low");
    common::ComPtr<ITaskFolder> folder;
    common::ComPtr<IRegisteredTask> task;
    if (FAILED(out.hr = ::CLSIDFromProgID(L"Schedule.Service", &clsid))) return out;
    if (FAILED(out.hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ITaskService, service.put_void())))
        return out;
    if (FAILED(out.hr = service->Connect(*none.get(), *none.get(), *none.get(), *none.get()))) return out;
    if (FAILED(out.hr = service->GetFolder(root.get(), folder.put()))) return out;
    if (FAILED(out.hr = folder->GetTask(name.get(), task.put()))) return out;
    out.hr = task->get_Definition(out.definition.put());
    return out;
}

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
    while (!cwd.empty() && cwd.back() == '\\') cwd.pop_back();
    EXPECT_EQ(0, _stricmp(harness::Narrow(work.path()).c_str(), cwd.c_str())) << cwd;
    EXPECT_FALSE(CreateLua(mgr.get(), L"\"" + (dir / L"missing.exe") + L"\"", L"", false, true));
    EXPECT_FALSE(IsFinished(mgr.get()));
}

TEST(ProcessLowRights, VistaTaskLowIsRegisteredAndReplaced) {
    auto mgr = NewMgr();
    harness::TempDir work(L"wd");
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(ChildPath()), Str(L"exit 1 0"), Str(work.path())}));
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(ChildPath()), Str(L"exit 2 0"), Str(work.path())}));
    RegisteredTask task = LoadTask();
    ASSERT_HR(S_OK, task.hr);

    common::ComPtr<ITriggerCollection> triggers;
    ASSERT_HR(S_OK, task.definition->get_Triggers(triggers.put()));
    LONG count = 0;
    ASSERT_HR(S_OK, triggers->get_Count(&count));
    ASSERT_EQ(1, count);
    common::ComPtr<ITrigger> trigger;
    ASSERT_HR(S_OK, triggers->get_Item(1, trigger.put()));
    TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_EVENT;
    ASSERT_HR(S_OK, trigger->get_Type(&type));
    EXPECT_EQ(TASK_TRIGGER_REGISTRATION, type);
    common::Bstr id;
    ASSERT_HR(S_OK, trigger->get_Id(id.put()));
    EXPECT_STREQ(L"Trigger1", id.c_str());

    common::ComPtr<ITaskSettings> settings;
    ASSERT_HR(S_OK, task.definition->get_Settings(settings.put()));
    INT priority = 0;
    ASSERT_HR(S_OK, settings->get_Priority(&priority));
    EXPECT_EQ(4, priority);
    VARIANT_BOOL whenAvailable = VARIANT_FALSE;
    ASSERT_HR(S_OK, settings->get_StartWhenAvailable(&whenAvailable));
    EXPECT_NE(VARIANT_FALSE, whenAvailable);
}

TEST(ProcessLowRights, ExecLowThroughTheSchedulerLeavesTheTrackedProcessAlone) {
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"exit 8 0", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    common::Bstr work(L"");
    common::Variant r;
    ASSERT_HR(S_OK, harness::Call(mgr.get(), L"ExecLow", {Str(ChildPath()), Str(L"exit 3 0"), harness::Ref(work.put())}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    EXPECT_TRUE(IsFinished(mgr.get()));
    EXPECT_EQ(8u, ExitCode(mgr.get()));
}

// Runs in a process of its own where the scheduler's library can't load (see below).
TEST(ProcessLowRights, DISABLED_ExecLowFallsBackToExecWithoutScheduler) {
    auto mgr = NewMgr();
    harness::TempDir dir(L"low");
    HRESULT direct = harness::Call(mgr.get(), L"CreateVistaTaskLow", {Str(ChildPath()), Str(L""), Str(L"")});
    ASSERT_TRUE(FAILED(direct)) << std::hex << direct;

    common::Variant r;
    std::wstring args = L"report \"" + (dir / L"fallback.txt") + L"\"";
    common::Bstr work(dir.path().c_str());
    ASSERT_HR(S_OK, harness::Call(mgr.get(), L"ExecLow", {Str(Child()), Str(args), harness::Ref(work.put())}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    ASSERT_TRUE(WaitForFile(dir / L"fallback.txt"));
    auto seen = ReadReport(dir / L"fallback.txt");
    EXPECT_EQ(0ul, std::strtoul(seen["flags"].c_str(), nullptr, 10) & STARTF_USESHOWWINDOW);  // shown
    EXPECT_EQ(harness::Narrow(Child() + L" " + args), seen["cmdline"]);
    // Unwatched: no watcher ever reports it.
    ::Sleep(800);
    EXPECT_FALSE(IsFinished(mgr.get()));
}

TEST(ProcessLowRights, ExecLowFallsBackToExecWhenTheSchedulerIsMissing) {
    // The same test program again, with the task scheduler's library disabled for it.
    wchar_t self[MAX_PATH];
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::wstring saved;
    DWORD n = ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", nullptr, 0);
    if (n) {
        saved.resize(n);
        ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", &saved[0], n);
        saved.resize(n - 1);
    }
    ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (saved.empty() ? L"" : saved + L";").append(L"taskschd=d").c_str());
    harness::ProcessResult run = harness::Run(
        L"\"" + std::wstring(self) +
            L"\" --gtest_also_run_disabled_tests --gtest_filter=ProcessLowRights.DISABLED_ExecLowFallsBackToExecWithoutScheduler",
        L"", 120000);
    ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", saved.empty() ? nullptr : saved.c_str());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
}
