// The dialog control's window side, late-bound on the singleton "Stagehand.InstallDlgCtl"
// as the engine uses it: Create and the frame modes, the UI thread and its loop, the
// close protocol, and what its window methods do. Each case runs in a process of its
// own, since the first Create fixes the frame mode for the process.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <wininet.h>

#include <atomic>
#include <cwctype>
#include <functional>

#include "Harness.h"
#include "WindowTestSupport.h"
#include "stagehand.h"
#include "common/Handle.h"
#include "dialog/window/WindowClassNames.h"

using harness::Bool;
using harness::Call;
using harness::CallOk;
using harness::CallScode;
using harness::Str;
using harness::UI4;

namespace {

HRESULT Create(IDispatch* control, UINT width, UINT height, UINT mode) {
    return CallScode(control, L"Create", {UI4(width), UI4(height), UI4(mode)});
}

LONG ThreadCount() {
    common::UniqueHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 e = {sizeof e};
    LONG n = 0;
    for (BOOL more = ::Thread32First(snap.get(), &e); more; more = ::Thread32Next(snap.get(), &e))
        if (e.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    return n;
}

DWORD WINAPI RunFunction(void* fn) {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (*static_cast<std::function<void()>*>(fn))();
    ::CoUninitialize();
    return 0;
}

DWORD UiThreadId(HWND hwnd) { return ::GetWindowThreadProcessId(hwnd, nullptr); }

// A posted system close command, and whether it reached the window as a close request.
bool PostedSystemCloseAsks(IDispatch* control, HWND hwnd) {
    ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(wintest::DrainPosted(hwnd));
    return wintest::PollClose(control);
}

// A window class that refuses every window it is asked for.
LRESULT CALLBACK RefuseWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return FALSE;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Whether the URL cache holds an entry for the address.
bool Cached(const std::wstring& url) {
    DWORD size = 0;
    if (::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

void CacheEntry(const std::wstring& url) {
    wchar_t file[MAX_PATH] = {};
    ASSERT_TRUE(::CreateUrlCacheEntryW(url.c_str(), 0, L"html", file, 0));
    harness::WriteFile(file, "<html></html>");
    FILETIME none = {};
    ASSERT_TRUE(::CommitUrlCacheEntryW(url.c_str(), file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
}

}  // namespace

OWN_PROCESS_SUITE(DialogControl);

OWN_PROCESS_TEST(DialogControl, CreateInModeThreeFailsAndStartsNoThread) {
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    LONG threads = ThreadCount();
    EXPECT_HR(E_INVALIDARG, Create(control.get(), 800, 600, 3));
    ::Sleep(300);
    EXPECT_EQ(nullptr, wintest::InstallerWindow());
    EXPECT_LE(ThreadCount(), threads);
    // Nothing was fixed by it: a valid Create still makes the window.
    EXPECT_HR(S_OK, Create(control.get(), 800, 600, 1));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    wchar_t title[64] = {};
    ::GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(L"Games Manager", title);
}

OWN_PROCESS_TEST(DialogControl, SecondCreateResizesAndChangesTheFrameModeOnly) {
    harness::TempDir dir(L"skin");
    wintest::WriteSkin(dir.path(), wintest::Skin());
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 800, 600, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(800, wintest::WindowSize(hwnd).cx);
    DWORD uiThread = UiThreadId(hwnd);

    EXPECT_HR(S_OK, Create(control.get(), 1024, 768, 2));
    EXPECT_EQ(1u, wintest::WindowsOfClass(stagehand::kInstallerFrameClass).size());
    EXPECT_EQ(uiThread, UiThreadId(hwnd));
    SIZE size = wintest::WindowSize(hwnd);
    EXPECT_EQ(1024, size.cx);
    EXPECT_EQ(768, size.cy);
    EXPECT_EQ(0, ::GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) << "the creation style stays mode 0's";

    // The window now takes the captioned look, and reads no skin.
    CallOk(control.get(), L"InitFrame", {Str(dir.path())});
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), ::GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION);
    common::UniqueGdiObject outline(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(ERROR, ::GetWindowRgn(hwnd, static_cast<HRGN>(outline.get())));
    // The control's own mode is still 0: a posted system close is dropped.
    EXPECT_FALSE(PostedSystemCloseAsks(control.get(), hwnd));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

OWN_PROCESS_TEST(DialogControl, CloseRequestPollsTrueOnce) {
    auto control = wintest::Control();
    EXPECT_FALSE(wintest::PollClose(control.get()));
    CallOk(control.get(), L"MainDlgClose");
    EXPECT_TRUE(wintest::PollClose(control.get()));
    EXPECT_FALSE(wintest::PollClose(control.get()));
}

OWN_PROCESS_TEST(DialogControl, WaitOnCloseTakesOneSignalPerWait) {
    auto control = wintest::Control();
    CallOk(control.get(), L"MainDlgClose");  // before anybody waits
    EXPECT_TRUE(wintest::RunOnThread([] { CallOk(wintest::Control().get(), L"WaitOnClose"); }, 20000));

    std::atomic<bool> returned{false};
    auto* waiter = new std::function<void()>([&returned] {
        CallOk(wintest::Control().get(), L"WaitOnClose");
        returned = true;
    });
    common::UniqueHandle thread(::CreateThread(nullptr, 0, RunFunction, waiter, 0, nullptr));
    ASSERT_TRUE(thread);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(thread.get(), 700)) << "the signal was used up";
    EXPECT_FALSE(returned);
    CallOk(control.get(), L"DoClose");  // signals, also without a window
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.get(), 20000));
    EXPECT_TRUE(returned);
    delete waiter;
}

OWN_PROCESS_TEST(DialogControl, QuitEndsTheCallersLoopWhileTheUiThreadRuns) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    CallOk(control.get(), L"Quit");
    MSG msg = {};
    bool quit = wintest::WaitUntil([&] {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) return true;
        return false;
    });
    EXPECT_TRUE(quit);
    EXPECT_EQ(0u, msg.wParam);
    // The UI thread goes on serving its window.
    DWORD_PTR answer = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &answer));
    common::UniqueHandle ui(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, UiThreadId(hwnd)));
    DWORD code = 0;
    ASSERT_TRUE(ui);
    EXPECT_TRUE(::GetExitCodeThread(ui.get(), &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
}

OWN_PROCESS_TEST(DialogControl, PostedSystemCloseIsDroppedInModeZero) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_FALSE(PostedSystemCloseAsks(control.get(), hwnd));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

OWN_PROCESS_TEST(DialogControl, PostedSystemCloseIsDroppedInModeOne) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 1));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(static_cast<LONG>(WS_SYSMENU), ::GetWindowLongW(hwnd, GWL_STYLE) & WS_SYSMENU);
    EXPECT_FALSE(PostedSystemCloseAsks(control.get(), hwnd));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

OWN_PROCESS_TEST(DialogControl, PostedSystemCloseReachesTheWindowInModeTwo) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 2));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), ::GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION);
    ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(wintest::WaitUntil([&] { return wintest::PollClose(control.get()); }));
    EXPECT_TRUE(::IsWindowVisible(hwnd)) << "a request, not a close";
}

OWN_PROCESS_TEST(DialogControl, NavigationWithoutItsBrowserFails) {
    auto control = wintest::Control();
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"NavigateQ", {Str(L"about:blank")}));
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"Navigate", {Str(L"about:blank")}));
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"NavigateQ", {Str(L"about:blank")}));
    // A page script that has nowhere to run is no failure of the call.
    EXPECT_HR(S_OK, CallScode(control.get(), L"CallJSFunction", {Str(L"f"), Str(L"'a'"), Str(L"queue")}));
}

OWN_PROCESS_TEST(DialogControl, CreateFailsWhenTheUiThreadGetsNoWindow) {
    auto control = wintest::Control();
    HMODULE server = ::GetModuleHandleW(L"stagehand.dll");
    ASSERT_NE(nullptr, server);
    // The installer's window class, taken first and refusing every window.
    WNDCLASSEXW refusing = {sizeof refusing};
    refusing.lpfnWndProc = RefuseWindow;
    refusing.hInstance = server;
    refusing.lpszClassName = stagehand::kInstallerFrameClass;
    ASSERT_NE(0, ::RegisterClassExW(&refusing));

    harness::DebugCapture debug;
    HRESULT hr = S_OK;
    ASSERT_TRUE(wintest::RunOnThread([&] { hr = Create(wintest::Control().get(), 400, 300, 0); }, 60000))
        << "Create waited for a window that never came";
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(nullptr, wintest::InstallerWindow());
    EXPECT_TRUE(debug.WaitFor("windows not created"));

    // Once windows can be made again, Create makes them.
    ASSERT_TRUE(::UnregisterClassW(stagehand::kInstallerFrameClass, server));
    EXPECT_HR(S_OK, Create(control.get(), 400, 300, 0));
    EXPECT_NE(nullptr, wintest::InstallerWindow());
}

OWN_PROCESS_TEST(DialogControl, WindowOperationsActOnTheWindow) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);

    CallOk(control.get(), L"Visible", {Bool(false)});
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    CallOk(control.get(), L"Visible", {Bool(true)});
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    EXPECT_HR(S_OK, CallScode(control.get(), L"Minimize", {}));
    EXPECT_TRUE(::IsIconic(hwnd));
    // SetForeground restores it and reports that it became the foreground window.
    common::ComPtr<IInstallDlgCtl> direct;
    ASSERT_HR(S_OK, control->QueryInterface(IID_IInstallDlgCtl, direct.put_void()));
    EXPECT_HR(S_OK, direct->SetForeground());
    EXPECT_FALSE(::IsIconic(hwnd));
    // Another test's window may take the foreground in between: asking again brings it back.
    EXPECT_TRUE(wintest::WaitUntil([&] { return ::GetForegroundWindow() == hwnd || (direct->SetForeground(), false); },
                                   5000));

    // The notification window flashes and stays hidden; its text is kept, not shown.
    auto notify = wintest::WindowsOfClass(stagehand::kTaskNotifyClass);
    ASSERT_EQ(1u, notify.size());
    EXPECT_EQ(320, wintest::WindowSize(notify[0]).cx);
    EXPECT_HR(S_OK, CallScode(control.get(), L"NotifyPopup", {Str(L"Download finished")}));
    // The request is posted, and a sent message may be handled before it: wait for the
    // window to be hidden again rather than look once.
    EXPECT_TRUE(wintest::WaitUntil([&] { return !::IsWindowVisible(notify[0]); }, 5000));

    // DoClose hides the window and releases one WaitOnClose.
    CallOk(control.get(), L"DoClose");
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(wintest::RunOnThread([] { CallOk(wintest::Control().get(), L"WaitOnClose"); }, 20000));
}

OWN_PROCESS_TEST(DialogControl, UiThreadEndDestroysTheWindowAndSignalsClose) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(::PostThreadMessageW(UiThreadId(hwnd), WM_QUIT, 0, 0));
    EXPECT_TRUE(wintest::RunOnThread([] { CallOk(wintest::Control().get(), L"WaitOnClose"); }, 20000));
    EXPECT_TRUE(wintest::WaitUntil([&] { return !::IsWindow(hwnd); }));
    EXPECT_TRUE(wintest::WindowsOfClass(stagehand::kTaskNotifyClass).empty());

    // The control outlives its window: calls find no window, and Create makes a new one.
    CallOk(control.get(), L"SetSize", {UI4(500), UI4(400)});
    CallOk(control.get(), L"Visible", {Bool(true)});
    CallOk(control.get(), L"ShowSystemCloseBtn", {Bool(true)});
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"Navigate", {Str(L"about:blank")}));
    EXPECT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND again = wintest::InstallerWindow();
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(400, wintest::WindowSize(again).cx);
}

OWN_PROCESS_TEST(DialogControl, NavigationWaitingWhileTheWindowGoesReturns) {
    harness::TempDir dir(L"page");
    const std::wstring page = dir / L"page.html";
    harness::WriteFile(page, "<html><body>page</body></html>");
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);

    // The engine waits in Navigate for a page that does not complete while the UI
    // thread ends and the window object goes: the wait ends, and the object is not
    // touched after it went.
    std::atomic<bool> started{false};
    HRESULT navigated = S_OK;
    auto* navigate = new std::function<void()>([&] {
        auto engine = wintest::Control();
        started = true;
        navigated = CallScode(engine.get(), L"Navigate", {Str(L"file:///" + page)});
    });
    common::UniqueHandle thread(::CreateThread(nullptr, 0, RunFunction, navigate, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_TRUE(wintest::WaitUntil([&] { return started.load(); }));
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(thread.get(), 1000)) << "no wait for the page";
    ASSERT_TRUE(::PostThreadMessageW(UiThreadId(hwnd), WM_QUIT, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.get(), 60000)) << "Navigate kept waiting";
    delete navigate;
    EXPECT_HR(E_FAIL, navigated);
    EXPECT_TRUE(wintest::WaitUntil([&] { return !::IsWindow(hwnd); }));
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"Navigate", {Str(L"file:///" + page)}));
    EXPECT_HR(S_OK, Create(control.get(), 400, 300, 0));
    EXPECT_NE(nullptr, wintest::InstallerWindow());
}

OWN_PROCESS_TEST(DialogControl, CloseClicksDuringEngineCallsNeverDeadlock) {
    auto control = wintest::Control();
    ASSERT_HR(S_OK, Create(control.get(), 400, 300, 0));
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    // The engine hides and shows the window (control-locked calls that wait for the UI
    // thread) while the UI thread handles close clicks that reach the control.
    bool ended = wintest::RunOnThread(
        [hwnd] {
            auto engine = wintest::Control();
            for (int i = 0; i < 150; ++i) {
                ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(8, 0), 0);
                CallOk(engine.get(), L"Visible", {Bool(false)});
                CallOk(engine.get(), L"DoClose");
                CallOk(engine.get(), L"Visible", {Bool(true)});
            }
        },
        90000);
    ASSERT_TRUE(ended) << "engine and UI thread deadlocked";
    EXPECT_TRUE(wintest::WaitUntil([&] { return wintest::PollClose(control.get()); }));
}

TEST(DialogControl, InitFrameClearsTheContentServersCachedPages) {
    const std::wstring host = harness::Widen(STAGEHAND_CONTENT_HOST);
    const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
    std::wstring upper = host;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
    const std::wstring page = L"http://" + host + L"/install/" + tag + L"/page.html";
    const std::wstring shouted = L"http://" + upper + L"/install/" + tag + L"/logo.html";
    const std::wstring other = L"http://other.example/install/" + tag + L"/page.html";
    for (const auto& url : {page, shouted, other}) CacheEntry(url);
    ASSERT_TRUE(Cached(page));

    auto control = wintest::Control();
    CallOk(control.get(), L"InitFrame", {Str(L"")});
    EXPECT_FALSE(Cached(page));
    EXPECT_FALSE(Cached(shouted));
    EXPECT_TRUE(Cached(other));
    ::DeleteUrlCacheEntryW(other.c_str());
}
