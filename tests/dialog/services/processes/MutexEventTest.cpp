// Named mutexes and events across threads and processes, with the diagnostic text of
// every failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProcessTestSupport.h"

using namespace proctest;
using harness::I4;
using harness::Str;
using harness::UI4;

namespace {

common::ComPtr<IDispatch> NewMgr() { return harness::Create(L"PebbleUtil.ProcessMgr"); }

std::wstring UniqueName(const wchar_t* stem) {
    return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::GetTickCount());
}

ULONG CreateMutexVia(IDispatch* mgr, const std::wstring& name) {
    return static_cast<ULONG>(harness::AsLong(*harness::CallOk(mgr, L"CreateNamedMutex", {Str(name)}).get()));
}
ULONG CreateEventVia(IDispatch* mgr, const std::wstring& name) {
    return static_cast<ULONG>(harness::AsLong(*harness::CallOk(mgr, L"CreateNamedEvent", {Str(name)}).get()));
}
bool Obtain(IDispatch* mgr, ULONG h) { return harness::AsBool(*harness::CallOk(mgr, L"ObtainMutex", {UI4(h)}).get()); }
bool WaitOn(IDispatch* mgr, ULONG h, LONG ms) {
    return harness::AsBool(*harness::CallOk(mgr, L"WaitOnMutex", {UI4(h), I4(ms)}).get());
}
HANDLE H(ULONG v) { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(v)); }

struct TryArg {
    HANDLE h;
    DWORD result;
};
// Another thread's attempt to take the mutex at once; gives it back when it got it.
DWORD WINAPI TryTake(void* p) {
    auto* x = static_cast<TryArg*>(p);
    x->result = ::WaitForSingleObject(x->h, 0);
    if (x->result == WAIT_OBJECT_0) ::ReleaseMutex(x->h);
    return 0;
}

bool HasFragment(harness::DebugCapture& cap, const std::string& text) {
    auto f = cap.Fragments();
    return std::find(f.begin(), f.end(), text) != f.end();
}

// A child process that takes the named mutex; it ends without releasing it, at once
// (abandon) or when the test sets its quit event.
class MutexHolder {
public:
    MutexHolder(const std::wstring& mutex, bool waitForQuit)
        : ready_(UniqueName(L"pm-ready")), quit_(UniqueName(L"pm-quit")) {
        readyEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, ready_.c_str()));
        quitEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, quit_.c_str()));
        std::wstring cmd = Child() + L" holdmutex " + mutex + L" " + ready_ + L" " + (waitForQuit ? quit_ : L"-");
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
    ~MutexHolder() {
        Quit();
        if (process_ && ::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
            ::TerminateProcess(process_.get(), 1);
    }
    bool WaitReady() { return process_ && ::WaitForSingleObject(readyEvent_.get(), 20000) == WAIT_OBJECT_0; }
    bool WaitEnded() { return process_ && ::WaitForSingleObject(process_.get(), 20000) == WAIT_OBJECT_0; }
    void Quit() { ::SetEvent(quitEvent_.get()); }

private:
    std::wstring ready_, quit_;
    common::UniqueHandle readyEvent_, quitEvent_, process_;
};

DWORD WINAPI QuitLater(void* holder) {
    ::Sleep(1200);
    static_cast<MutexHolder*>(holder)->Quit();
    return 0;
}

}  // namespace

TEST(ProcessMutex, CreatingTwiceGivesTwoHandlesToOneMutex) {
    auto mgr = NewMgr();
    std::wstring name = UniqueName(L"pm-twice");
    ULONG a = CreateMutexVia(mgr.get(), name);
    ULONG b = CreateMutexVia(mgr.get(), name);
    ASSERT_NE(0u, a);
    ASSERT_NE(0u, b);
    EXPECT_NE(a, b);
    ASSERT_TRUE(Obtain(mgr.get(), a));
    // Owned through a: another thread can't take it through b until it is released.
    auto tryOther = [&]() {
        TryArg arg{H(b), WAIT_FAILED};
        HANDLE t = ::CreateThread(nullptr, 0, TryTake, &arg, 0, nullptr);
        ::WaitForSingleObject(t, 10000);
        ::CloseHandle(t);
        return arg.result;
    };
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), tryOther());
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"ReleaseMutex", {UI4(a)}));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), tryOther());
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(a)});
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(b)});
}

TEST(ProcessMutex, ObtainHeldByAnotherProcessFailsWithTimeoutCode) {
    auto mgr = NewMgr();
    std::wstring name = UniqueName(L"pm-held");
    ULONG h = CreateMutexVia(mgr.get(), name);
    ASSERT_NE(0u, h);
    MutexHolder holder(name, true);
    ASSERT_TRUE(holder.WaitReady());
    harness::DebugCapture cap;
    EXPECT_FALSE(Obtain(mgr.get(), h));
    EXPECT_TRUE(cap.WaitFor(" Error: 0x102"));
    EXPECT_TRUE(HasFragment(cap, "CProcessMgr::ObtainMutex failed:")) << cap.Text();
    EXPECT_TRUE(HasFragment(cap, " Error: 0x102")) << cap.Text();

    // Waiting a while: the time-out and then the failure, as two messages.
    cap.Clear();
    EXPECT_FALSE(WaitOn(mgr.get(), h, 200));
    EXPECT_TRUE(cap.WaitFor("CProcessMgr::WaitOnMutex failed"));
    EXPECT_TRUE(HasFragment(cap, "WaitForSingleObject 258 last err 0")) << cap.Text();
    EXPECT_TRUE(HasFragment(cap, "CProcessMgr::WaitOnMutex failed")) << cap.Text();
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(h)});
}

TEST(ProcessMutex, AbandonedMutexWaitSucceedsObtainFails) {
    auto mgr = NewMgr();
    std::wstring name = UniqueName(L"pm-abandon");
    ULONG h = CreateMutexVia(mgr.get(), name);
    ASSERT_NE(0u, h);
    harness::DebugCapture cap;
    {
        MutexHolder holder(name, false);
        ASSERT_TRUE(holder.WaitEnded());
    }
    EXPECT_TRUE(WaitOn(mgr.get(), h, 5000));
    EXPECT_TRUE(cap.WaitFor("WAIT_ABANDONED as owner has gone away"));
    harness::CallOk(mgr.get(), L"ReleaseMutex", {UI4(h)});

    cap.Clear();
    {
        MutexHolder holder(name, false);
        ASSERT_TRUE(holder.WaitEnded());
    }
    EXPECT_FALSE(Obtain(mgr.get(), h));
    EXPECT_TRUE(cap.WaitFor(" Error: 0x80"));
    EXPECT_TRUE(HasFragment(cap, "CProcessMgr::ObtainMutex failed:")) << cap.Text();
    // The platform gave this thread ownership all the same.
    harness::CallOk(mgr.get(), L"ReleaseMutex", {UI4(h)});
    EXPECT_TRUE(Obtain(mgr.get(), h));
    harness::CallOk(mgr.get(), L"ReleaseMutex", {UI4(h)});
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(h)});
}

TEST(ProcessMutex, WaitWithMinusOneWaitsUntilTheOwnerLetsGo) {
    auto mgr = NewMgr();
    std::wstring name = UniqueName(L"pm-infinite");
    ULONG h = CreateMutexVia(mgr.get(), name);
    MutexHolder holder(name, true);
    ASSERT_TRUE(holder.WaitReady());
    HANDLE t = ::CreateThread(nullptr, 0, QuitLater, &holder, 0, nullptr);
    DWORD start = ::GetTickCount();
    EXPECT_TRUE(WaitOn(mgr.get(), h, -1));  // the holder ends without releasing: abandoned, owned
    EXPECT_GE(::GetTickCount() - start, 1000u);
    ::WaitForSingleObject(t, 10000);
    ::CloseHandle(t);
    harness::CallOk(mgr.get(), L"ReleaseMutex", {UI4(h)});
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(h)});
}

TEST(ProcessMutex, BadHandlesAreRefusedWithTheirMessages) {
    auto mgr = NewMgr();
    harness::DebugCapture cap;
    for (ULONG bad : {0ul, 0xFFFFFFFFul}) {
        EXPECT_FALSE(Obtain(mgr.get(), bad));
        EXPECT_FALSE(WaitOn(mgr.get(), bad, 100));
        EXPECT_HR(S_OK, harness::Call(mgr.get(), L"FireEvent", {UI4(bad)}));
        EXPECT_HR(S_OK, harness::Call(mgr.get(), L"CloseEvent", {UI4(bad)}));
    }
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"CloseMutex", {UI4(0)}));
    EXPECT_TRUE(cap.WaitFor("CProcessMgr::WaitOnMutex bad handle"));
    auto f = cap.Fragments();
    EXPECT_EQ(2, std::count(f.begin(), f.end(), std::string("CProcessMgr::ObtainMutex bad handle"))) << cap.Text();
    EXPECT_EQ(2, std::count(f.begin(), f.end(), std::string("CProcessMgr::WaitOnMutex bad handle"))) << cap.Text();
}

TEST(ProcessMutex, ReleaseWithoutOwnershipIsReported) {
    auto mgr = NewMgr();
    ULONG h = CreateMutexVia(mgr.get(), UniqueName(L"pm-notowned"));
    ASSERT_NE(0u, h);
    harness::DebugCapture cap;
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"ReleaseMutex", {UI4(h)}));
    EXPECT_TRUE(cap.WaitFor("CProcessMgr::ReleaseMutex failed 0 last err 0x120")) << cap.Text();
    harness::CallOk(mgr.get(), L"CloseMutex", {UI4(h)});
}

TEST(ProcessEvent, FiredInOneProcessReleasesAWaiterInAnother) {
    auto mgr = NewMgr();
    std::wstring name = UniqueName(L"pm-event");
    ULONG e = CreateEventVia(mgr.get(), name);
    ULONG again = CreateEventVia(mgr.get(), name);
    ASSERT_NE(0u, e);
    EXPECT_NE(e, again);
    harness::CallOk(mgr.get(), L"CloseEvent", {UI4(again)});

    // Not fired: the waiter gives up (exit code 1).
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"waitevent " + name + L" 700", true, true));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(1u, ExitCode(mgr.get()));

    ASSERT_TRUE(Exec(mgr.get(), Child(), L"waitevent " + name + L" 20000", true, true));
    ::Sleep(500);
    harness::CallOk(mgr.get(), L"FireEvent", {UI4(e)});
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(0u, ExitCode(mgr.get()));
    harness::CallOk(mgr.get(), L"CloseEvent", {UI4(e)});
    // Closed: the handle no longer names an object.
    EXPECT_EQ(WAIT_FAILED, ::WaitForSingleObject(H(e), 0));
}
