#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/Handle.h"
#include "dialog/window/WindowClassNames.h"

namespace wintest {

void WriteBitmap(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& colour) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = stride * height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int row = height - 1; row >= 0; --row) {
        std::string line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            COLORREF c = colour(x, row);
            line[x * 3] = static_cast<char>(GetBValue(c));
            line[x * 3 + 1] = static_cast<char>(GetGValue(c));
            line[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += line;
    }
    harness::WriteFile(path, bytes);
}

void WriteSolidBitmap(const std::wstring& path, int width, int height, COLORREF colour) {
    WriteBitmap(path, width, height, [colour](int, int) { return colour; });
}

bool TopLeftCut(int x, int y) { return x + y < 10; }
bool TopRightCut(const Skin& s, int x, int y) { return (s.topRightW - 1 - x) + y < 10; }
bool BottomRightCut(const Skin& s, int x, int y) { return (s.bottomRightW - 1 - x) + (s.bottomRightH - 1 - y) < 6; }

void WriteSkin(const std::wstring& folder, const Skin& s) {
    using harness::Join;
    WriteBitmap(Join(folder, L"topleft.bmp"), s.topLeftW, s.topLeftH,
                [](int x, int y) { return TopLeftCut(x, y) ? kMagenta : Skin::kTopLeft; });
    WriteBitmap(Join(folder, L"top.bmp"), 10, s.topH, [](int, int y) { return y == 0 ? kMagenta : Skin::kTop; });
    WriteBitmap(Join(folder, L"topright.bmp"), s.topRightW, s.topRightH,
                [&s](int x, int y) { return TopRightCut(s, x, y) ? kMagenta : Skin::kTopRight; });
    WriteSolidBitmap(Join(folder, L"right.bmp"), s.rightW, 10, Skin::kRight);
    WriteBitmap(Join(folder, L"bottomright.bmp"), s.bottomRightW, s.bottomRightH,
                [&s](int x, int y) { return BottomRightCut(s, x, y) ? kMagenta : Skin::kBottomRight; });
    WriteSolidBitmap(Join(folder, L"bottom.bmp"), 10, s.bottomH, Skin::kBottom);
    WriteSolidBitmap(Join(folder, L"bottomleft.bmp"), s.bottomLeftW, s.bottomLeftH, Skin::kBottomLeft);
    WriteSolidBitmap(Join(folder, L"left.bmp"), s.leftW, 10, Skin::kLeft);
    if (s.buttons) {
        // Each button has a magenta first column, which must not be drawn.
        auto button = [&](const wchar_t* name, COLORREF c) {
            WriteBitmap(Join(folder, name), s.buttonW, s.buttonH, [c](int x, int) { return x == 0 ? kMagenta : c; });
        };
        button(L"closebuttoninactive.bmp", Skin::kClose);
        button(L"closebuttonpressed.bmp", Skin::kClosePressed);
        button(L"minimizebuttoninactive.bmp", Skin::kMinimize);
        button(L"minimizebuttonpressed.bmp", Skin::kMinimizePressed);
    }
    if (s.logos) {
        WriteSolidBitmap(Join(folder, L"logoright.bmp"), 30, 10, Skin::kLogoRight);
        WriteSolidBitmap(Join(folder, L"logoleft.bmp"), 30, 10, Skin::kLogoLeft);
    }
}

namespace {
struct ClassSearch {
    const wchar_t* className;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[128] = {};
    if (pid == ::GetCurrentProcessId() && ::GetClassNameW(hwnd, name, 128) && std::wstring(name) == search->className)
        search->found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOfClass(const wchar_t* className) {
    ClassSearch search{className, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND InstallerWindow() {
    auto found = WindowsOfClass(stagehand::kInstallerFrameClass);
    return found.empty() ? nullptr : found.front();
}

SIZE WindowSize(HWND hwnd) {
    RECT r = {};
    ::GetWindowRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

Snapshot::Snapshot(HWND hwnd) {
    SIZE size = WindowSize(hwnd);
    width_ = size.cx;
    height_ = size.cy;
    if (width_ <= 0 || height_ <= 0) return;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width_;
    bmi.bmiHeader.biHeight = -height_;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    common::UniqueGdiObject dib(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!dib || !bits || !dc) {
        if (dc) ::DeleteDC(dc);
        ADD_FAILURE() << "no memory device context for the snapshot";
        return;
    }
    HGDIOBJ old = ::SelectObject(dc, dib.get());
    // A colour no skin uses, where nothing is drawn.
    std::fill_n(static_cast<DWORD*>(bits), static_cast<size_t>(width_) * height_, 0x00010203);
    EXPECT_TRUE(::PrintWindow(hwnd, dc, 0));
    ::GdiFlush();
    pixels_.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + static_cast<size_t>(width_) * height_);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
}

COLORREF Snapshot::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty()) return CLR_INVALID;
    DWORD p = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
    return true;
}

void MouseDown(HWND hwnd, int x, int y) { ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void MouseMove(HWND hwnd, int x, int y) { ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
void MouseUp(HWND hwnd, int x, int y) { ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

bool DrainPosted(HWND hwnd) {
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(218, 0), 0);
    bool minimized = WaitUntil([hwnd] { return ::IsIconic(hwnd) != FALSE; });
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    return minimized && WaitUntil([hwnd] { return !::IsIconic(hwnd); });
}

common::ComPtr<IDispatch> Control() { return harness::Create(L"Stagehand.InstallDlgCtl"); }

bool PollClose(IDispatch* control) {
    return harness::AsBool(*harness::CallOk(control, L"PollMainWndClose").get());
}

namespace {
struct ThreadJob {
    std::function<void()> fn;
};
DWORD WINAPI JobThread(void* param) {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<ThreadJob*>(param)->fn();
    ::CoUninitialize();
    return 0;
}
}  // namespace

bool RunOnThread(const std::function<void()>& fn, DWORD timeoutMs) {
    // Left behind (and leaked) when it does not end: the test has failed by then.
    auto* job = new ThreadJob{fn};
    common::UniqueHandle thread(::CreateThread(nullptr, 0, JobThread, job, 0, nullptr));
    if (!thread) return false;
    if (::WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    delete job;
    return true;
}

namespace {
const wchar_t kMarkVariable[] = L"WINDOW_TEST_CASE_MARK";
}

void RunInOwnProcess(const std::string& testName, DWORD timeoutMs) {
    wchar_t self[MAX_PATH];
    DWORD len = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(len && len < MAX_PATH);
    harness::TempDir dir(L"case");
    std::wstring mark = dir / L"done.txt";
    ::SetEnvironmentVariableW(kMarkVariable, mark.c_str());
    harness::ProcessResult run = harness::Run(L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" +
                                                  harness::Widen(testName),
                                              L"", timeoutMs);
    ::SetEnvironmentVariableW(kMarkVariable, nullptr);
    EXPECT_FALSE(run.timedOut) << testName << " did not end";
    EXPECT_EQ(0u, run.exitCode) << testName << " failed";
    EXPECT_TRUE(harness::FileExists(mark)) << testName << " did not run to its end";
}

void MarkCaseDone() {
    wchar_t mark[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableW(kMarkVariable, mark, MAX_PATH);
    if (n && n < MAX_PATH && !::testing::Test::HasFailure()) harness::WriteFile(mark, "done\n");
}

}  // namespace wintest
