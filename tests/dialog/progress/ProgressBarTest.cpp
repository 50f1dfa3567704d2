// The installer window's progress bar, driven late-bound through the singleton control and
// read back from the real child window. Each case runs in a process of its own, since the
// first Create fixes the frame mode for the process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "Harness.h"
#include "WindowTestSupport.h"

using harness::CallOk;
using harness::I4;
using harness::UI4;

namespace {

std::vector<HWND> Bars(HWND parent) {
    std::vector<HWND> bars;
    for (HWND child = ::FindWindowExW(parent, nullptr, PROGRESS_CLASSW, nullptr); child;
         child = ::FindWindowExW(parent, child, PROGRESS_CLASSW, nullptr))
        bars.push_back(child);
    return bars;
}

// Counts the progress bars among all descendants.
BOOL CALLBACK CountBars(HWND child, LPARAM count) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    if (::lstrcmpiW(name, PROGRESS_CLASSW) == 0) ++*reinterpret_cast<LONG*>(count);
    return TRUE;
}

LRESULT Position(HWND bar) { return ::SendMessageW(bar, PBM_GETPOS, 0, 0); }

PBRANGE Range(HWND bar) {
    PBRANGE range = {-1, -1};
    ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return range;
}

// The bar's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND bar) {
    RECT r = {};
    ::GetWindowRect(bar, &r);
    ::MapWindowPoints(nullptr, ::GetParent(bar), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

OWN_PROCESS_SUITE(ProgressBar);

OWN_PROCESS_TEST(ProgressBar, ManagerFrameHasNoBarAndTheSettersDoNothing) {
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    CallOk(control.get(), L"Create", {UI4(640), UI4(480), UI4(1)});
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    CallOk(control.get(), L"InitProgress");
    CallOk(control.get(), L"SetProgress", {I4(50)});
    CallOk(control.get(), L"SetProgressGranularity", {I4(400)});
    CallOk(control.get(), L"ProgressToEnd");
    EXPECT_TRUE(Bars(hwnd).empty());
    LONG found = 0;
    ::EnumChildWindows(hwnd, &CountBars, reinterpret_cast<LPARAM>(&found));
    EXPECT_EQ(0, found) << "no progress bar anywhere in the window";
}

OWN_PROCESS_TEST(ProgressBar, BarAlongTheBottomFollowsTheEngine) {
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    // Before Create and before InitProgress the setters have nothing to act on.
    CallOk(control.get(), L"SetProgress", {I4(30)});
    CallOk(control.get(), L"Create", {UI4(640), UI4(480), UI4(0)});
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    CallOk(control.get(), L"SetProgress", {I4(50)});
    CallOk(control.get(), L"ProgressToEnd");
    EXPECT_TRUE(Bars(hwnd).empty());

    CallOk(control.get(), L"InitProgress");
    auto bars = Bars(hwnd);
    ASSERT_EQ(1u, bars.size());
    HWND bar = bars[0];
    EXPECT_EQ(0x50000001, ::GetWindowLongW(bar, GWL_STYLE));
    EXPECT_EQ(0, ::GetDlgCtrlID(bar));
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    RECT place = PlaceInParent(bar);
    EXPECT_EQ(client.left + 30, place.left);
    EXPECT_EQ(client.right - 30, place.right);
    EXPECT_EQ(client.bottom - 20, place.top);
    EXPECT_EQ(10, place.bottom - place.top);
    EXPECT_EQ(RGB(255, 255, 255), static_cast<COLORREF>(::SendMessageW(bar, PBM_GETBKCOLOR, 0, 0)));
    EXPECT_EQ(0, Position(bar)) << "what was set before the bar existed is not remembered";
    EXPECT_EQ(0, Range(bar).iLow);
    EXPECT_EQ(100, Range(bar).iHigh);

    CallOk(control.get(), L"SetProgress", {I4(50)});
    EXPECT_EQ(50, Position(bar));
    CallOk(control.get(), L"SetProgressGranularity", {I4(400)});
    EXPECT_EQ(0, Range(bar).iLow);
    EXPECT_EQ(400, Range(bar).iHigh);
    CallOk(control.get(), L"ProgressToEnd");
    EXPECT_EQ(400, Position(bar));

    // A second InitProgress makes a second bar at the same place; the engine now moves it.
    CallOk(control.get(), L"InitProgress");
    bars = Bars(hwnd);
    ASSERT_EQ(2u, bars.size());
    HWND second = bars[0] == bar ? bars[1] : bars[0];
    RECT secondPlace = PlaceInParent(second);
    EXPECT_TRUE(::EqualRect(&place, &secondPlace));
    CallOk(control.get(), L"SetProgress", {I4(7)});
    EXPECT_EQ(7, Position(second));
    EXPECT_EQ(400, Position(bar));
    CallOk(control.get(), L"ProgressToEnd");
    EXPECT_EQ(100, Position(second));
}

OWN_PROCESS_TEST(ProgressBar, CaptionedFrameHasABar) {
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    CallOk(control.get(), L"Create", {UI4(640), UI4(480), UI4(2)});
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    CallOk(control.get(), L"InitProgress");
    auto bars = Bars(hwnd);
    ASSERT_EQ(1u, bars.size());
    CallOk(control.get(), L"SetProgressGranularity", {I4(250)});
    CallOk(control.get(), L"ProgressToEnd");
    EXPECT_EQ(250, Position(bars[0]));
}
