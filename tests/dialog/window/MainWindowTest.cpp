// The skinned main window, driven the way the engine drives it: the singleton control
// created by ProgID and called late-bound, a skin folder written by the test, mouse
// messages sent to the real window, and its outline and pixels read back.
#include <gtest/gtest.h>

#include "Harness.h"
#include "WindowTestSupport.h"
#include "common/Handle.h"

using harness::Bool;
using harness::Call;
using harness::CallOk;
using harness::CallScode;
using harness::Str;
using harness::UI4;
using wintest::Skin;
using wintest::Snapshot;

namespace {

// The control with its window created in the frame mode, at 400 x 300.
struct Installer {
    explicit Installer(UINT mode) : control(wintest::Control()) {
        if (!control) return;
        CallOk(control.get(), L"Create", {UI4(400), UI4(300), UI4(mode)});
        hwnd = wintest::InstallerWindow();
    }
    void Skin(const std::wstring& folder) { CallOk(control.get(), L"InitFrame", {Str(folder)}); }
    HRESULT ShowClose(bool show) { return CallScode(control.get(), L"ShowSystemCloseBtn", {Bool(show)}); }
    HRESULT ShowMinimize(bool show) { return CallScode(control.get(), L"ShowMinimizeBtn", {Bool(show)}); }
    bool PollClose() { return wintest::PollClose(control.get()); }

    common::ComPtr<IDispatch> control;
    HWND hwnd = nullptr;
};

// The skinned window grows by the edges around the 400 x 300 area.
SIZE SkinnedSize(const Skin& s) { return {400 + s.leftW + s.rightW, 300 + s.topH + s.bottomH}; }

}  // namespace

OWN_PROCESS_SUITE(MainWindow);

OWN_PROCESS_TEST(MainWindow, OutlineCutsTheCornersMagentaAndNeverTheEdges) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());

    const SIZE size = SkinnedSize(skin);
    const int W = size.cx, H = size.cy;
    SIZE actual = wintest::WindowSize(ui.hwnd);
    EXPECT_EQ(W, actual.cx);
    EXPECT_EQ(H, actual.cy);

    common::UniqueGdiObject outline(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(COMPLEXREGION, ::GetWindowRgn(ui.hwnd, static_cast<HRGN>(outline.get())));
    // What it must be: the whole window less exactly the corners' magenta pixels.
    common::UniqueGdiObject expected(::CreateRectRgn(0, 0, W, H));
    auto cut = [&](int x, int y) {
        common::UniqueGdiObject pixel(::CreateRectRgn(x, y, x + 1, y + 1));
        ::CombineRgn(static_cast<HRGN>(expected.get()), static_cast<HRGN>(expected.get()),
                     static_cast<HRGN>(pixel.get()), RGN_DIFF);
    };
    for (int y = 0; y < skin.topLeftH; ++y)
        for (int x = 0; x < skin.topLeftW; ++x)
            if (wintest::TopLeftCut(x, y)) cut(x, y);
    for (int y = 0; y < skin.topRightH; ++y)
        for (int x = 0; x < skin.topRightW; ++x)
            if (wintest::TopRightCut(skin, x, y)) cut(W - skin.topRightW + x, y);
    for (int y = 0; y < skin.bottomRightH; ++y)
        for (int x = 0; x < skin.bottomRightW; ++x)
            if (wintest::BottomRightCut(skin, x, y)) cut(W - skin.bottomRightW + x, H - skin.bottomRightH + y);
    common::UniqueGdiObject difference(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(NULLREGION, ::CombineRgn(static_cast<HRGN>(difference.get()), static_cast<HRGN>(outline.get()),
                                       static_cast<HRGN>(expected.get()), RGN_XOR));

    HRGN rgn = static_cast<HRGN>(outline.get());
    EXPECT_FALSE(::PtInRegion(rgn, 0, 0));
    EXPECT_FALSE(::PtInRegion(rgn, 4, 5));
    EXPECT_TRUE(::PtInRegion(rgn, 5, 5));
    EXPECT_FALSE(::PtInRegion(rgn, W - 1, 0));
    EXPECT_FALSE(::PtInRegion(rgn, W - 1, H - 1));
    EXPECT_TRUE(::PtInRegion(rgn, 0, H - 1));  // that corner has no magenta
    EXPECT_TRUE(::PtInRegion(rgn, W / 2, 0));  // the top edge's magenta row cuts nothing
}

OWN_PROCESS_TEST(MainWindow, PaintsCornersEdgesButtonsAndLogos) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());
    EXPECT_HR(S_OK, ui.ShowClose(true));
    EXPECT_HR(S_OK, ui.ShowMinimize(true));

    const SIZE size = SkinnedSize(skin);
    const int W = size.cx, H = size.cy;
    Snapshot shot(ui.hwnd);
    ASSERT_EQ(W, shot.width());
    EXPECT_EQ(Skin::kTopLeft, shot.At(20, 20));
    EXPECT_EQ(Skin::kTopRight, shot.At(W - 10, 20));
    EXPECT_EQ(Skin::kBottomRight, shot.At(W - 20, H - 15));
    EXPECT_EQ(Skin::kBottomLeft, shot.At(5, H - 5));
    EXPECT_EQ(Skin::kTop, shot.At(W / 2, 15));
    EXPECT_EQ(Skin::kRight, shot.At(W - 5, H / 2));
    EXPECT_EQ(Skin::kBottom, shot.At(W / 2, H - 5));
    EXPECT_EQ(Skin::kLeft, shot.At(5, H / 2));
    // Close button 20 left of and 10 below the top-right corner, the minimize button 25
    // further left; their magenta first columns show the edge below.
    const int closeX = W - skin.topRightW - 20, minimizeX = closeX - 25;
    EXPECT_EQ(Skin::kClose, shot.At(closeX + 8, 17));
    EXPECT_EQ(Skin::kTop, shot.At(closeX, 17));
    EXPECT_EQ(Skin::kMinimize, shot.At(minimizeX + 8, 17));
    EXPECT_EQ(Skin::kTop, shot.At(minimizeX, 17));
    EXPECT_EQ(Skin::kTop, shot.At(closeX + 8, 26));
    // Logos: 150 left of the top-right corner, and 30 right of the top-left corner's left.
    EXPECT_EQ(Skin::kLogoRight, shot.At(W - skin.topRightW - 150 + 15, 5));
    EXPECT_EQ(Skin::kLogoLeft, shot.At(45, 5));

    wchar_t title[64] = {};
    ::GetWindowTextW(ui.hwnd, title, 64);
    EXPECT_STREQ(L"Game Installer", title);
    EXPECT_NE(0, ::SendMessageW(ui.hwnd, WM_GETICON, ICON_BIG, 0));
    // A taskbar button (the system keeps the window-edge bit only on framed windows).
    EXPECT_EQ(static_cast<LONG>(WS_EX_APPWINDOW), ::GetWindowLongW(ui.hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

OWN_PROCESS_TEST(MainWindow, LeftEdgeSpansTheRightEdgesRowsWithUnequalCorners) {
    harness::TempDir dir(L"skin");
    Skin skin;
    skin.topRightH = 50;     // left: 30
    skin.bottomLeftH = 35;   // right: 20
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());

    const SIZE size = SkinnedSize(skin);
    const int W = size.cx, H = size.cy;
    Snapshot shot(ui.hwnd);
    ASSERT_EQ(H, shot.height());
    // Rows 30..49 on the left belong to neither the top-left corner nor the left edge.
    EXPECT_NE(Skin::kLeft, shot.At(5, 40));
    EXPECT_NE(Skin::kTopLeft, shot.At(5, 40));
    EXPECT_EQ(Skin::kLeft, shot.At(5, 50));
    EXPECT_EQ(Skin::kRight, shot.At(W - 5, 50));
    EXPECT_EQ(Skin::kTopRight, shot.At(W - 5, 45));
    // The edge ends where the right edge ends and, drawn after the corners, covers the
    // taller bottom-left corner down to there.
    EXPECT_EQ(Skin::kLeft, shot.At(5, H - 21));
    EXPECT_EQ(Skin::kBottomLeft, shot.At(5, H - 20));
    EXPECT_EQ(Skin::kBottomLeft, shot.At(20, H - 30));
}

OWN_PROCESS_TEST(MainWindow, MinimizeButtonTakesItsPlaceFromTheHiddenCloseButton) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());
    EXPECT_HR(S_OK, ui.ShowClose(false));
    EXPECT_HR(S_OK, ui.ShowMinimize(true));

    const int W = SkinnedSize(skin).cx;
    const int minimizeX = W - skin.topRightW - 45;
    Snapshot shot(ui.hwnd);
    EXPECT_EQ(Skin::kMinimize, shot.At(minimizeX + 8, 17));
    EXPECT_EQ(Skin::kMinimize, shot.At(minimizeX + 1, 10));
    EXPECT_EQ(Skin::kTop, shot.At(minimizeX + 8, 9));
    EXPECT_EQ(Skin::kTop, shot.At(W - skin.topRightW - 12, 17));  // no close button

    // Its click minimizes the window.
    wintest::MouseDown(ui.hwnd, minimizeX + 8, 17);
    wintest::MouseUp(ui.hwnd, minimizeX + 8, 17);
    EXPECT_TRUE(wintest::WaitUntil([&] { return ::IsIconic(ui.hwnd) != FALSE; }));
    EXPECT_FALSE(ui.PollClose());
}

OWN_PROCESS_TEST(MainWindow, CloseButtonReleasedOnItselfAsksOnceAndElsewhereNot) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());
    ASSERT_HR(S_OK, ui.ShowClose(true));
    const int x = SkinnedSize(skin).cx - skin.topRightW - 20 + 8, y = 17;
    EXPECT_FALSE(ui.PollClose());

    wintest::MouseDown(ui.hwnd, x, y);
    EXPECT_EQ(Skin::kClosePressed, Snapshot(ui.hwnd).At(x, y));
    wintest::MouseUp(ui.hwnd, x, y);
    EXPECT_EQ(Skin::kClose, Snapshot(ui.hwnd).At(x, y));
    EXPECT_TRUE(wintest::WaitUntil([&] { return ui.PollClose(); }));
    ASSERT_TRUE(wintest::DrainPosted(ui.hwnd));
    EXPECT_FALSE(ui.PollClose()) << "one release, one request";

    // Released elsewhere: no request, and the button keeps its pressed image.
    wintest::MouseDown(ui.hwnd, x, y);
    wintest::MouseUp(ui.hwnd, 200, 200);
    ASSERT_TRUE(wintest::DrainPosted(ui.hwnd));
    EXPECT_FALSE(ui.PollClose());
    EXPECT_EQ(Skin::kClosePressed, Snapshot(ui.hwnd).At(x, y));
    EXPECT_TRUE(::IsWindowVisible(ui.hwnd));
}

OWN_PROCESS_TEST(MainWindow, WmCloseOnlyAsksTheEngine) {
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    EXPECT_EQ(0, ::SendMessageW(ui.hwnd, WM_CLOSE, 0, 0));
    EXPECT_TRUE(::IsWindow(ui.hwnd));
    EXPECT_TRUE(::IsWindowVisible(ui.hwnd));
    EXPECT_TRUE(ui.PollClose());
    EXPECT_FALSE(ui.PollClose());
}

OWN_PROCESS_TEST(MainWindow, CaptionedModeTakesNoSkinAndNoButtons) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(2);
    ASSERT_NE(nullptr, ui.hwnd);
    CallOk(ui.control.get(), L"SetTitle", {Str(L"Captioned Setup")});
    ui.Skin(dir.path());
    EXPECT_HR(S_OK, ui.ShowClose(true));
    EXPECT_HR(S_OK, ui.ShowMinimize(true));

    LONG style = ::GetWindowLongW(ui.hwnd, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    wchar_t title[64] = {};
    ::GetWindowTextW(ui.hwnd, title, 64);
    EXPECT_STREQ(L"Captioned Setup", title);
    // No bitmap shaped or grew the window.
    common::UniqueGdiObject outline(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(ERROR, ::GetWindowRgn(ui.hwnd, static_cast<HRGN>(outline.get())));
    SIZE size = wintest::WindowSize(ui.hwnd);
    EXPECT_EQ(400, size.cx);
    EXPECT_EQ(300, size.cy);
    RECT client = {};
    ::GetClientRect(ui.hwnd, &client);
    Snapshot shot(ui.hwnd);
    for (POINT p : {POINT{20, 20}, POINT{client.right - 52, 17}, POINT{5, client.bottom / 2}})
        EXPECT_NE(Skin::kTopLeft, shot.At(p.x, p.y));
}

OWN_PROCESS_TEST(MainWindow, EmptySkinFolderUnloadsTheCloseButton) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());
    ASSERT_HR(S_OK, ui.ShowClose(true));
    const int x = SkinnedSize(skin).cx - skin.topRightW - 20 + 8, y = 17;
    ASSERT_EQ(Skin::kClose, Snapshot(ui.hwnd).At(x, y));

    ui.Skin(L"");
    EXPECT_HR(S_OK, ui.ShowClose(true));
    EXPECT_NE(Skin::kClose, Snapshot(ui.hwnd).At(x, y));
    wintest::MouseDown(ui.hwnd, x, y);
    wintest::MouseUp(ui.hwnd, x, y);
    ASSERT_TRUE(wintest::DrainPosted(ui.hwnd));
    EXPECT_FALSE(ui.PollClose());

    // A skin without button bitmaps: the buttons report it and stay away.
    harness::TempDir bare(L"bare");
    Skin plain;
    plain.buttons = false;
    wintest::WriteSkin(bare.path(), plain);
    ui.Skin(bare.path());
    EXPECT_HR(E_UNEXPECTED, ui.ShowClose(true));
    EXPECT_HR(E_UNEXPECTED, ui.ShowMinimize(true));
    wintest::MouseDown(ui.hwnd, x, y);
    wintest::MouseUp(ui.hwnd, x, y);
    ASSERT_TRUE(wintest::DrainPosted(ui.hwnd));
    EXPECT_FALSE(ui.PollClose());
}

OWN_PROCESS_TEST(MainWindow, PressingAnywhereDragsTheWindow) {
    harness::TempDir dir(L"skin");
    Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    ui.Skin(dir.path());
    ASSERT_HR(S_OK, ui.ShowClose(true));

    RECT before = {}, after = {};
    ::GetWindowRect(ui.hwnd, &before);
    wintest::MouseDown(ui.hwnd, 200, 150);
    wintest::MouseMove(ui.hwnd, 230, 170);
    wintest::MouseUp(ui.hwnd, 230, 170);
    ::GetWindowRect(ui.hwnd, &after);
    EXPECT_EQ(before.left + 30, after.left);
    EXPECT_EQ(before.top + 20, after.top);
    wintest::MouseMove(ui.hwnd, 300, 250);  // released: no more dragging
    RECT still = {};
    ::GetWindowRect(ui.hwnd, &still);
    EXPECT_EQ(after.left, still.left);

    // A press on the close button drags too; released off the button it asks nothing.
    const int x = SkinnedSize(skin).cx - skin.topRightW - 20 + 8;
    wintest::MouseDown(ui.hwnd, x, 17);
    wintest::MouseMove(ui.hwnd, x + 10, 27);
    wintest::MouseUp(ui.hwnd, x + 10, 27);
    ::GetWindowRect(ui.hwnd, &still);
    EXPECT_EQ(after.left + 10, still.left);
    EXPECT_EQ(after.top + 10, still.top);
    ASSERT_TRUE(wintest::DrainPosted(ui.hwnd));
    EXPECT_FALSE(ui.PollClose());
}

OWN_PROCESS_TEST(MainWindow, SizeCentresOnTheWorkAreaAndKeepsInsideIt) {
    Installer ui(0);
    ASSERT_NE(nullptr, ui.hwnd);
    RECT area = {};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));

    CallOk(ui.control.get(), L"SetSize", {UI4(500), UI4(400)});
    RECT r = {};
    ::GetWindowRect(ui.hwnd, &r);
    EXPECT_EQ(500, r.right - r.left);
    EXPECT_EQ(400, r.bottom - r.top);
    EXPECT_EQ((area.left + area.right) / 2 - 250, r.left);
    EXPECT_EQ((area.top + area.bottom) / 2 - 200, r.top);

    // Larger than the work area: pinned to its left and top.
    const int wide = area.right - area.left + 100, tall = area.bottom - area.top + 80;
    CallOk(ui.control.get(), L"SetSize", {UI4(wide), UI4(tall)});
    ::GetWindowRect(ui.hwnd, &r);
    EXPECT_EQ(wide, r.right - r.left);
    EXPECT_EQ(area.left, r.left);
    EXPECT_EQ(area.top, r.top);
}
