#include "WindowShot.h"

#include <commctrl.h>

#include "common/Handle.h"

namespace sample {

namespace {

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length) || length > 1000000)
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                               2000, &copied))
        return std::wstring();
    text.resize(copied < text.size() ? copied : text.size() - 1);
    return text;
}

struct ChildSearch {
    const std::wstring* phrase;
    std::wstring pageText;
    HWND progressBar = nullptr;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    wchar_t className[64] = L"";
    ::GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, PROGRESS_CLASSW) == 0) {
        search->progressBar = child;
    } else if (search->pageText.empty()) {
        const std::wstring text = TextOf(child);
        if (text.find(*search->phrase) != std::wstring::npos) search->pageText = text;
    }
    return TRUE;
}


}  // namespace

bool WindowShot::Matches(HWND candidate, const Wanted& wanted) {
    if (!::IsWindowVisible(candidate)) return false;
    wchar_t title[256] = L"";
    ::GetWindowTextW(candidate, title, 256);
    if (wanted.title != title) return false;
    ChildSearch search;
    search.phrase = &wanted.pageText;
    ::EnumChildWindows(candidate, VisitChild, reinterpret_cast<LPARAM>(&search));
    if (search.pageText.empty()) return false;
    int position = -1;
    if (search.progressBar) {
        DWORD_PTR pos = 0;
        if (::SendMessageTimeoutW(search.progressBar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos))
            position = static_cast<int>(pos);
    }
    if (wanted.progressAtLeast > 0 && position < wanted.progressAtLeast) return false;
    window_ = candidate;
    pageText_ = search.pageText;
    progress_ = position;
    return true;
}

bool WindowShot::WaitFor(const Wanted& wanted, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, wanted.title.c_str()); w;
             w = ::FindWindowExW(nullptr, w, nullptr, wanted.title.c_str()))
            if (Matches(w, wanted)) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
}

bool WindowShot::CopyFrom(HDC source, int width, int height, std::vector<uint32_t>& pixels) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    common::UniqueGdiObject dib(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC memory = ::CreateCompatibleDC(nullptr);
    if (!dib || !bits || !memory) {
        if (memory) ::DeleteDC(memory);
        return false;
    }
    HGDIOBJ old = ::SelectObject(memory, dib.get());
    const bool copied = ::BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
    ::GdiFlush();
    if (copied) {
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        pixels.assign(p, p + static_cast<size_t>(width) * height);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    return copied;
}

bool WindowShot::Capture() {
    RECT r;
    if (!window_ || !::GetWindowRect(window_, &r)) return false;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    if (width_ <= 0 || height_ <= 0) return false;
    // The window's own device context holds what is on screen, children included.
    HDC dc = ::GetWindowDC(window_);
    if (!dc) return false;
    const bool ok = CopyFrom(dc, width_, height_, pixels_);
    ::ReleaseDC(window_, dc);
    if (!ok) return false;
    // Pixels outside the window's shape (its region) are shown as white.
    HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
    if (shape && ::GetWindowRgn(window_, shape) != ERROR) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (!::PtInRegion(shape, x, y)) pixels_[static_cast<size_t>(y) * width_ + x] = 0xFFFFFF;
    }
    if (shape) ::DeleteObject(shape);
    return true;
}

}  // namespace sample
