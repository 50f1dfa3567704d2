#pragma once
// Takes the picture of a top-level window of this process: the window prints itself
// (skin, buttons, logos) into a bitmap and every visible child window prints its client
// area at its place (the page, the progress bar). Pixels outside the window's shape
// come out white.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

class WindowShot {
public:
    // Finds the visible top-level window of this process titled `title`; false if none.
    bool Find(const std::wstring& title);
    // Prints the window found into pixels(); false when it can't be drawn.
    bool Capture();

    int width() const { return width_; }
    int height() const { return height_; }
    // 0x00RRGGBB per pixel, rows from the top.
    const std::vector<uint32_t>& pixels() const { return pixels_; }

private:
    static BOOL CALLBACK VisitTop(HWND window, LPARAM self);
    static BOOL CALLBACK CollectChild(HWND child, LPARAM list);
    void MaskOutsideShape();

    std::wstring title_;
    HWND window_ = nullptr;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace sample
