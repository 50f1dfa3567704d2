// Refreshing an open "Programs and Features" window: a window tree built here looks
// like the Control Panel page; the shell object runs in a host process of its own
// (its title cache is filled once per process) and posts to our windows.
#include <gtest/gtest.h>

#include "Harness.h"
#include "ShellTestSupport.h"

using harness::TempDir;

namespace {

LRESULT CALLBACK TreeProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SYSCOMMAND) return 0;  // recorded from the queue; nothing to restore here
    return ::DefWindowProcW(w, m, wp, lp);
}

void Register(const wchar_t* cls) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &TreeProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    ::RegisterClassW(&wc);
}

struct Posted {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    bool operator==(const Posted& o) const { return hwnd == o.hwnd && msg == o.msg && wp == o.wp && lp == o.lp; }
};

// A top-level window with the given title, a pane inside it and a "DirectUIHWND"
// window inside the pane (or another class when directUi is false).
class ProgramsWindow {
public:
    explicit ProgramsWindow(const std::wstring& title, bool directUi = true) {
        Register(L"ShellTestCPanelFrame");
        Register(L"ShellTestPane");
        Register(L"DirectUIHWND");
        HINSTANCE inst = ::GetModuleHandleW(nullptr);
        top = ::CreateWindowExW(0, L"ShellTestCPanelFrame", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, inst, nullptr);
        pane = ::CreateWindowExW(0, L"ShellTestPane", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, top, nullptr,
                                 inst, nullptr);
        target = ::CreateWindowExW(0, directUi ? L"DirectUIHWND" : L"ShellTestPane", L"", WS_CHILD | WS_VISIBLE, 0,
                                   0, 100, 50, pane, nullptr, inst, nullptr);
        Drain();
    }
    ~ProgramsWindow() { ::DestroyWindow(top); }

    // Collects what was posted to this thread's windows within the wait.
    std::vector<Posted> Collect(DWORD waitMs = 500) {
        std::vector<Posted> seen;
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < waitMs) {
            MSG m;
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.hwnd == top || m.hwnd == pane || m.hwnd == target)
                    seen.push_back({m.hwnd, m.message, m.wParam, m.lParam});
                ::TranslateMessage(&m);
                ::DispatchMessageW(&m);
            }
            ::Sleep(20);
        }
        return seen;
    }
    void Drain() { Collect(100); }

    std::vector<Posted> Expected() const {
        return {{top, WM_SYSCOMMAND, SC_RESTORE, 0},
                {top, WM_SETFOCUS, 0, 0},
                {target, WM_KEYDOWN, VK_F5, 0},
                {target, WM_KEYUP, VK_F5, static_cast<LPARAM>(0x80000000u)}};
    }

    HWND top = nullptr, pane = nullptr, target = nullptr;
};

const wchar_t kDefaultA[] = L"Add or Remove Programs";
const wchar_t kDefaultB[] = L"Control Panel\\Programs and Features";
const wchar_t kStandInA[] = L"Stand-in Add or Remove Programs";
const wchar_t kStandInB[] = L"Stand-in Programs and Features";

// A working folder for the host, with bin\Respack.dll copied from `library` if given.
struct HostFolder {
    explicit HostFolder(const wchar_t* library) {
        if (library) {
            ::CreateDirectoryW((dir / L"bin").c_str(), nullptr);
            harness::CopyFileOrThrow(harness::Join(harness::BinDir(), library), dir / L"bin\\Respack.dll");
        }
    }
    TempDir dir{L"arp"};
};

std::vector<Posted> RefreshFrom(const HostFolder& folder, ProgramsWindow& window) {
    auto r = shelltest::HostCall(L"RefreshAddRemovePrograms", {}, folder.dir.path());
    EXPECT_TRUE(r.ran);
    EXPECT_HR(S_OK, r.hr);
    return window.Collect();
}

}  // namespace

TEST(ShellRefreshPrograms, DefaultTitlesWithoutTheResourceLibrary) {
    shelltest::MachineLock lock(L"shell-tests-programs-window");
    HostFolder folder(nullptr);
    for (const wchar_t* title : {kDefaultA, kDefaultB}) {
        SCOPED_TRACE(harness::Narrow(title));
        ProgramsWindow window(title);
        EXPECT_EQ(window.Expected(), RefreshFrom(folder, window));
    }
    ProgramsWindow standIn(kStandInB);
    EXPECT_TRUE(RefreshFrom(folder, standIn).empty());
}

TEST(ShellRefreshPrograms, TitlesFromTheResourceLibrary) {
    shelltest::MachineLock lock(L"shell-tests-programs-window");
    HostFolder folder(L"shell_respack.dll");
    for (const wchar_t* title : {kStandInA, kStandInB}) {
        SCOPED_TRACE(harness::Narrow(title));
        ProgramsWindow window(title);
        EXPECT_EQ(window.Expected(), RefreshFrom(folder, window));
    }
    // The library's titles replace the English ones.
    ProgramsWindow english(kDefaultB);
    EXPECT_TRUE(RefreshFrom(folder, english).empty());
}

TEST(ShellRefreshPrograms, MissingStringFallsBackToItsDefault) {
    shelltest::MachineLock lock(L"shell-tests-programs-window");
    HostFolder folder(L"shell_respack_partial.dll");  // string 1020 only
    {
        ProgramsWindow window(kStandInA);
        EXPECT_EQ(window.Expected(), RefreshFrom(folder, window));
    }
    ProgramsWindow window(kDefaultB);
    EXPECT_EQ(window.Expected(), RefreshFrom(folder, window));
}

TEST(ShellRefreshPrograms, NothingIsPostedWithoutAMatchingWindow) {
    shelltest::MachineLock lock(L"shell-tests-programs-window");
    HostFolder folder(nullptr);
    {
        // No window at all.
        auto r = shelltest::HostCall(L"RefreshAddRemovePrograms", {}, folder.dir.path());
        EXPECT_TRUE(r.ran);
        EXPECT_HR(S_OK, r.hr);
    }
    {
        // The right title but no "DirectUIHWND" below it.
        ProgramsWindow window(kDefaultB, false);
        EXPECT_TRUE(RefreshFrom(folder, window).empty());
    }
    {
        // A "DirectUIHWND" whose own title matches but no ancestor's does.
        ProgramsWindow window(L"Somewhere else");
        ::SetWindowTextW(window.target, kDefaultB);
        EXPECT_TRUE(RefreshFrom(folder, window).empty());
    }
}
