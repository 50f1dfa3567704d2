// The main window object on the test's own thread, as the UI thread owns it: where the
// browser area goes when the window is sized and skinned, the offer placeholder inside
// it, and the object's end once its window is destroyed and the browsers let go.
#include <gtest/gtest.h>

#include <windows.h>

#include "Harness.h"
#include "WindowTestSupport.h"
#include "common/Handle.h"
#include "dialog/window/CMainDlg.h"
#include "dialog/window/WindowClassNames.h"

using stagehand::CMainDlg;

namespace {

// Records the window object's retirement and deletes it, as the dialog control does.
struct RetireRecorder : stagehand::MainDlgOwner {
    int retired = 0;
    void WindowRetired(CMainDlg* window) override {
        ++retired;
        delete window;
    }
};

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The child's rectangle in its parent's client coordinates.
RECT InParent(HWND child) {
    RECT r = {};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

struct Window {
    Window() : closed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), dlg(new CMainDlg(closed.get(), &owner)) {
        dlg->ResizeFrame(800, 600);
        hwnd = dlg->Create(WS_POPUP | WS_VISIBLE, L"Game Installer", nullptr);
        host = hwnd ? dlg->Browser().MainHostWindow() : nullptr;
    }
    ~Window() {
        if (!owner.retired && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
        Pump();
    }
    common::UniqueHandle closed;
    RetireRecorder owner;
    CMainDlg* dlg;
    HWND hwnd = nullptr;
    HWND host = nullptr;
};

}  // namespace

TEST(MainDlg, BrowserAreaFollowsSizeAndSkin) {
    Window w;
    ASSERT_NE(nullptr, w.hwnd);
    ASSERT_NE(nullptr, w.host) << "no browser was hosted";
    RECT r = InParent(w.host);
    EXPECT_TRUE(Same(r, RECT{0, 0, 800, 600}));

    w.dlg->ResizeFrame(500, 400);
    r = InParent(w.host);
    EXPECT_TRUE(Same(r, RECT{0, 0, 500, 400}));

    // Skinned, the browser keeps the former client area inside the border.
    harness::TempDir dir(L"skin");
    wintest::Skin skin;
    wintest::WriteSkin(dir.path(), skin);
    EXPECT_HR(S_OK, w.dlg->ApplySkin(dir.path().c_str()));
    r = InParent(w.host);
    EXPECT_TRUE(Same(r, RECT{skin.leftW, skin.topH, skin.leftW + 500, skin.topH + 400}))
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    // A later size covers the whole window again, border included.
    w.dlg->ResizeFrame(600, 450);
    r = InParent(w.host);
    EXPECT_TRUE(Same(r, RECT{0, 0, 600, 450}));
}

TEST(MainDlg, OfferPlaceholderSitsCentredInTheBrowserArea) {
    Window w;
    ASSERT_NE(nullptr, w.host) << "no browser was hosted";
    HWND first = w.dlg->CreateOfferPlaceholder();
    ASSERT_NE(nullptr, first);
    HWND parent = ::GetParent(first);
    EXPECT_TRUE(parent == w.host || ::IsChild(w.host, parent));
    RECT r = InParent(first);
    EXPECT_TRUE(Same(r, RECT{165, 186, 165 + 470, 186 + 228}))
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    wchar_t text[32] = {}, name[64] = {};
    ::GetWindowTextW(first, text, 32);
    ::GetClassNameW(first, name, 64);
    EXPECT_STREQ(L"Test APP", text);
    EXPECT_STREQ(stagehand::kOfferPlaceholderClass, name);
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS),
              ::GetWindowLongW(first, GWL_STYLE) & static_cast<LONG>(0xFFFF0000));
    HDC dc = ::GetDC(first);
    EXPECT_EQ(1, ::SendMessageW(first, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    ::ReleaseDC(first, dc);

    // A second placeholder replaces the first; destroying it leaves none.
    HWND second = w.dlg->CreateOfferPlaceholder();
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(::IsWindow(first));
    w.dlg->DestroyOfferPlaceholder();
    EXPECT_FALSE(::IsWindow(second));
    w.dlg->DestroyOfferPlaceholder();  // none left: nothing happens
}

TEST(MainDlg, ObjectGoesOnceItsWindowIsDestroyedAndTheBrowserLetGo) {
    Window w;
    ASSERT_NE(nullptr, w.host) << "no browser was hosted";
    Pump();
    EXPECT_EQ(0, w.owner.retired) << "the browsers' hold keeps the window object";
    ASSERT_TRUE(::DestroyWindow(w.hwnd));
    Pump();
    EXPECT_EQ(1, w.owner.retired);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(w.closed.get(), 0)) << "destruction signals closedEvent";
}
