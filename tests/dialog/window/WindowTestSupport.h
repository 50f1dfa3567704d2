#pragma once
// Helpers for the installer-window tests: skin bitmaps written by the test, the window's
// pixels read back through WM_PRINT, the installer window of this process, waiting, and
// test cases run in a process of their own (the dialog control is a singleton whose
// first Create fixes the frame mode for the process).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"

namespace wintest {

// --- bitmaps --------------------------------------------------------------------------
// Writes a 24-bit bitmap file whose pixel (x, y) (y downwards) is colour(x, y).
void WriteBitmap(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& colour);
void WriteSolidBitmap(const std::wstring& path, int width, int height, COLORREF colour);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// The colours and sizes of a test skin; the corners are cut by magenta triangles.
struct Skin {
    static constexpr COLORREF kTopLeft = RGB(200, 0, 0), kTop = RGB(0, 150, 0), kTopRight = RGB(0, 0, 200),
                              kRight = RGB(200, 200, 0), kBottomRight = RGB(0, 200, 200), kBottom = RGB(100, 100, 100),
                              kBottomLeft = RGB(120, 60, 0), kLeft = RGB(60, 0, 120);
    static constexpr COLORREF kClose = RGB(255, 255, 0), kClosePressed = RGB(0, 255, 255),
                              kMinimize = RGB(255, 128, 0), kMinimizePressed = RGB(128, 0, 255),
                              kLogoRight = RGB(10, 20, 30), kLogoLeft = RGB(30, 20, 10);
    int topLeftW = 40, topLeftH = 30, topH = 30, topRightW = 40, topRightH = 30, rightW = 12;
    int bottomRightW = 40, bottomRightH = 20, bottomH = 20, bottomLeftW = 40, bottomLeftH = 20, leftW = 12;
    int buttonW = 16, buttonH = 14;
    bool buttons = true, logos = true;
};
// Writes the skin's files into the folder. Corners: top-left magenta where x + y < 10,
// top-right where (w-1-x) + y < 10, bottom-right where (w-1-x) + (h-1-y) < 6; the
// bottom-left corner has none. The top edge has a magenta first row.
void WriteSkin(const std::wstring& folder, const Skin& skin);
// Whether the pixel (x, y) of a corner bitmap of the skin is magenta.
bool TopLeftCut(int x, int y);
bool TopRightCut(const Skin& skin, int x, int y);
bool BottomRightCut(const Skin& skin, int x, int y);

// --- windows --------------------------------------------------------------------------
// The installer's main window in this process, or null.
HWND InstallerWindow();
// The top-level windows of a class in this process.
std::vector<HWND> WindowsOfClass(const wchar_t* className);
SIZE WindowSize(HWND hwnd);

// The window's pixels, as WM_PRINT draws them into a memory device context.
class Snapshot {
public:
    explicit Snapshot(HWND hwnd);
    COLORREF At(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<DWORD> pixels_;
};

// Polls `done` every 20 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Sends mouse messages to the window (client coordinates), as a user's clicks arrive.
void MouseDown(HWND hwnd, int x, int y);
void MouseMove(HWND hwnd, int x, int y);
void MouseUp(HWND hwnd, int x, int y);
// Waits until every message posted to the window's thread before this call was handled:
// posts a minimize command behind them and waits for the window to be minimized, then
// restores it.
bool DrainPosted(HWND hwnd);

// --- the control ------------------------------------------------------------------------
// The singleton control, late-bound.
common::ComPtr<IDispatch> Control();
// Calls PollMainWndClose.
bool PollClose(IDispatch* control);
// Runs fn on a thread of its own (COM initialized there); false when it did not end in time.
bool RunOnThread(const std::function<void()>& fn, DWORD timeoutMs);

// --- own processes ----------------------------------------------------------------------
// Runs one case of this program (a suite named *OwnProcess) in a process of its own and
// expects it to pass; the case must call MarkCaseDone() as its last step.
void RunInOwnProcess(const std::string& testName, DWORD timeoutMs = 120000);
void MarkCaseDone();

// Fixture of the cases that run in their own process: marks the case done at its end.
class OwnProcessCase : public ::testing::Test {
protected:
    void TearDown() override { MarkCaseDone(); }
};

}  // namespace wintest

// A test case run in a process of its own: the parent case (suite `suite`) starts the
// program again for the child case (suite `suite`OwnProcess, declared with
// OWN_PROCESS_SUITE), whose body follows the macro.
#define OWN_PROCESS_SUITE(suite) \
    class suite##OwnProcess : public ::wintest::OwnProcessCase {}
#define OWN_PROCESS_TEST(suite, name)                                          \
    TEST(suite, name) { ::wintest::RunInOwnProcess(#suite "OwnProcess." #name); } \
    TEST_F(suite##OwnProcess, name)
