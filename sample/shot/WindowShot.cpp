#include "WindowShot.h"

#include <algorithm>

#include "common/Handle.h"

namespace sample {

BOOL CALLBACK WindowShot::VisitTop(HWND window, LPARAM self) {
    auto* shot = reinterpret_cast<WindowShot*>(self);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(window)) return TRUE;
    wchar_t title[256] = L"";
    ::GetWindowTextW(window, title, 256);
    if (shot->title_ != title) return TRUE;
    shot->window_ = window;
    return FALSE;
}

bool WindowShot::Find(const std::wstring& title) {
    title_ = title;
    window_ = nullptr;
    ::EnumWindows(VisitTop, reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

BOOL CALLBACK WindowShot::CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

bool WindowShot::Capture() {
    RECT frame;
    if (!window_ || !::GetWindowRect(window_, &frame)) return false;
    width_ = frame.right - frame.left;
    height_ = frame.bottom - frame.top;
    if (width_ <= 0 || height_ <= 0) return false;

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
        return false;
    }
    HGDIOBJ old = ::SelectObject(dc, dib.get());
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(width_) * height_, 0xFFFFFFu);
    bool printed = ::PrintWindow(window_, dc, 0) != FALSE;

    // Children, parents before their children, each at its place in the window.
    std::vector<HWND> children;
    ::EnumChildWindows(window_, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        RECT r;
        if (!::IsWindowVisible(child) || !::GetWindowRect(child, &r)) continue;
        const int saved = ::SaveDC(dc);
        ::SetViewportOrgEx(dc, r.left - frame.left, r.top - frame.top, nullptr);
        ::IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND,
                              SMTO_ABORTIFHUNG, 5000, &result);
        ::RestoreDC(dc, saved);
    }
    ::GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    if (printed) MaskOutsideShape();
    return printed;
}

void WindowShot::MaskOutsideShape() {
    common::UniqueGdiObject shape(::CreateRectRgn(0, 0, 0, 0));
    if (!shape || ::GetWindowRgn(window_, static_cast<HRGN>(shape.get())) == ERROR) return;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (!::PtInRegion(static_cast<HRGN>(shape.get()), x, y))
                pixels_[static_cast<size_t>(y) * width_ + x] = 0xFFFFFFu;
}

}  // namespace sample
