#pragma once
// Finds the installer window of another process and takes its picture: waits until the
// window shows a page whose text contains a given phrase and, when asked, until its
// progress bar has reached a position, then copies the window's pixels.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

class WindowShot {
public:
    struct Wanted {
        std::wstring title;       // the window's title
        std::wstring pageText;    // a phrase the page must show
        int progressAtLeast = 0;  // 0: any (or no) progress bar
    };

    // Polls every 50 ms until the window is as wanted; false after timeoutMs.
    bool WaitFor(const Wanted& wanted, DWORD timeoutMs);
    // Copies the window found by WaitFor; false when it can't be read.
    bool Capture();

    HWND window() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // 0x00RRGGBB per pixel, rows from the top.
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    // Text of the page the window showed when it was found.
    const std::wstring& pageText() const { return pageText_; }
    int progress() const { return progress_; }

private:
    bool Matches(HWND candidate, const Wanted& wanted);
    static bool CopyFrom(HDC source, int width, int height, std::vector<uint32_t>& pixels);

    HWND window_ = nullptr;
    int width_ = 0, height_ = 0;
    int progress_ = -1;
    std::wstring pageText_;
    std::vector<uint32_t> pixels_;
};

}  // namespace sample
