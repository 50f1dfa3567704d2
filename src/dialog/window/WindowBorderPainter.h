#pragma once
// The skin of a window: nine bitmap pieces (four corners, four edges and a spare) laid
// around the window's former client area, painted as its border, and the window's
// outline cut to the corners' opaque (non-magenta) pixels.
#include <windows.h>

#include <string>

#include "common/CriticalSection.h"

namespace stagehand {

class WindowBorderPainter {
public:
    enum Piece {
        kTopLeft = 0, kTop, kTopRight, kRight, kBottomRight, kBottom, kBottomLeft, kLeft, kSpare, kPieceCount
    };
    struct PieceInfo {
        HBITMAP bitmap;
        RECT rect;
        LONG width, height;   // of the bitmap
    };

    WindowBorderPainter() noexcept;
    virtual ~WindowBorderPainter();
    WindowBorderPainter(const WindowBorderPainter&) = delete;
    WindowBorderPainter& operator=(const WindowBorderPainter&) = delete;

    // Loads the pieces (a missing file leaves its piece empty), grows the window around
    // its client area by the edges' widths and heights, lays the pieces out and hands the
    // window its outline. Runs on any thread; the window is reached through window calls.
    void Attach(HWND window, const std::wstring (&paths)[kPieceCount]);
    // Draws the corners unscaled, then the edges stretched; nothing before Attach or
    // without a top-left corner.
    void Paint(HDC dc) const;
    // Releases every bitmap; nothing is painted until the next Attach.
    void ReleaseAll();

    // The former client area, moved by the left and top edges (where the browser goes).
    RECT InnerRect() const;
    RECT PieceRect(Piece piece) const;

    // The region of a bitmap's pixels that are not exactly magenta, in the bitmap's
    // coordinates; null for no bitmap.
    static HRGN OpaqueRegion(HBITMAP bitmap);

private:
    mutable common::CriticalSection lock_;
    HWND window_ = nullptr;
    LONG ready_ = 0;
    RECT clientRect_ = {};
    RECT innerRect_ = {};
    PieceInfo pieces_[kPieceCount] = {};
};

}  // namespace stagehand
