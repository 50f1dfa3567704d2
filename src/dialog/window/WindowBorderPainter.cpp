#include "dialog/window/WindowBorderPainter.h"

#include <utility>
#include <vector>

#include "common/Handle.h"

namespace stagehand {

namespace {

constexpr DWORD kMagenta = 0x00FF00FF;  // a 32-bit DIB pixel: red and blue full, no green
constexpr size_t kRectsPerRegion = 2000;
constexpr size_t kRectGrowth = 100;

// Turns collected rectangles into a region and unites it with `result`.
void Flush(std::vector<RECT>& rects, common::UniqueGdiObject& result) {
    if (rects.empty()) return;
    std::vector<BYTE> buffer(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    RECT bounds = rects.front();
    for (const RECT& r : rects) {
        if (r.left < bounds.left) bounds.left = r.left;
        if (r.top < bounds.top) bounds.top = r.top;
        if (r.right > bounds.right) bounds.right = r.right;
        if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
    }
    data->rdh.rcBound = bounds;
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(data->Buffer));
    HRGN part = ::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
    rects.clear();
    if (!part) return;
    if (!result) {
        result.reset(part);
    } else {
        ::CombineRgn(static_cast<HRGN>(result.get()), static_cast<HRGN>(result.get()), part, RGN_OR);
        ::DeleteObject(part);
    }
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

WindowBorderPainter::WindowBorderPainter() noexcept = default;

WindowBorderPainter::~WindowBorderPainter() { ReleaseAll(); }

void WindowBorderPainter::ReleaseAll() {
    PieceInfo old[kPieceCount];
    {
        common::ScopedLock lock(lock_);
        ready_ = 0;
        for (int i = 0; i < kPieceCount; ++i) {
            old[i] = pieces_[i];
            pieces_[i] = PieceInfo{};
        }
    }
    // Paint holds the lock while it uses the bitmaps, so none is selected anywhere now.
    for (PieceInfo& piece : old)
        if (piece.bitmap) ::DeleteObject(piece.bitmap);
}

HRGN WindowBorderPainter::OpaqueRegion(HBITMAP bitmap) {
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return nullptr;
    const LONG width = info.bmWidth, height = info.bmHeight;

    // A top-down 32-bit copy of the bitmap, read pixel by pixel.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    common::UniqueGdiObject dib(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return nullptr;
    HDC source = ::CreateCompatibleDC(nullptr);
    HDC target = ::CreateCompatibleDC(nullptr);
    if (!source || !target) {
        if (source) ::DeleteDC(source);
        if (target) ::DeleteDC(target);
        return nullptr;
    }
    HGDIOBJ oldSource = ::SelectObject(source, bitmap);
    HGDIOBJ oldTarget = ::SelectObject(target, dib.get());
    ::BitBlt(target, 0, 0, width, height, source, 0, 0, SRCCOPY);
    ::GdiFlush();
    ::SelectObject(source, oldSource);
    ::SelectObject(target, oldTarget);
    ::DeleteDC(source);
    ::DeleteDC(target);

    common::UniqueGdiObject result;
    std::vector<RECT> rects;
    rects.reserve(kRectGrowth);
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    for (LONG y = 0; y < height; ++y) {
        const DWORD* row = pixels + static_cast<size_t>(y) * width;
        LONG x = 0;
        while (x < width) {
            while (x < width && (row[x] & 0x00FFFFFF) == kMagenta) ++x;
            if (x >= width) break;
            LONG start = x;
            while (x < width && (row[x] & 0x00FFFFFF) != kMagenta) ++x;
            if (rects.size() == rects.capacity()) rects.reserve(rects.capacity() + kRectGrowth);
            rects.push_back(RECT{start, y, x, y + 1});
            if (rects.size() == kRectsPerRegion) Flush(rects, result);
        }
    }
    Flush(rects, result);
    if (!result) result.reset(::CreateRectRgn(0, 0, 0, 0));
    return static_cast<HRGN>(result.release());
}

void WindowBorderPainter::Attach(HWND window, const std::wstring (&paths)[kPieceCount]) {
    ReleaseAll();
    RECT client = {};
    ::GetClientRect(window, &client);
    {
        common::ScopedLock lock(lock_);
        window_ = window;
        clientRect_ = innerRect_ = client;
    }

    PieceInfo pieces[kPieceCount] = {};
    for (int i = 0; i < kPieceCount; ++i) {
        if (paths[i].empty()) continue;
        auto bitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, paths[i].c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP info = {};
        if (bitmap && ::GetObjectW(bitmap, sizeof info, &info)) {
            pieces[i].bitmap = bitmap;
            pieces[i].width = info.bmWidth;
            pieces[i].height = info.bmHeight;
        } else if (bitmap) {
            ::DeleteObject(bitmap);
        }
    }

    // The border grows around the old client area, which keeps its place on the screen.
    const LONG leftW = pieces[kLeft].width, topH = pieces[kTop].height;
    const LONG rightW = pieces[kRight].width, bottomH = pieces[kBottom].height;
    RECT inner = client;
    ::OffsetRect(&inner, leftW, topH);
    RECT frame = {};
    ::GetWindowRect(window, &frame);
    ::SetWindowPos(window, nullptr, frame.left - leftW, frame.top - topH, Width(client) + leftW + rightW,
                   Height(client) + topH + bottomH, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    RECT fitted = {};
    ::GetClientRect(window, &fitted);
    const LONG W = Width(fitted), H = Height(fitted);

    PieceInfo& tl = pieces[kTopLeft];
    PieceInfo& t = pieces[kTop];
    PieceInfo& tr = pieces[kTopRight];
    PieceInfo& r = pieces[kRight];
    PieceInfo& br = pieces[kBottomRight];
    PieceInfo& b = pieces[kBottom];
    PieceInfo& bl = pieces[kBottomLeft];
    PieceInfo& l = pieces[kLeft];
    tl.rect = {0, 0, tl.width, tl.height};
    t.rect = {tl.width, 0, W - tr.width, t.height};
    tr.rect = {W - tr.width, 0, W, tr.height};
    r.rect = {W - r.width, tr.height, W, H - br.height};
    br.rect = {W - br.width, H - br.height, W, H};
    b.rect = {bl.width, H - b.height, br.rect.left, H};
    bl.rect = {0, H - bl.height, bl.width, H};
    // The left edge spans exactly the right edge's rows.
    l.rect = {0, tr.height, l.width, H - br.height};

    // The outline: the whole window less each corner's transparent pixels.
    common::UniqueGdiObject outline(::CreateRectRgn(0, 0, W, H));
    for (Piece corner : {kTopLeft, kTopRight, kBottomLeft, kBottomRight}) {
        const PieceInfo& piece = pieces[corner];
        if (!outline) break;
        common::UniqueGdiObject cut(::CreateRectRgnIndirect(&piece.rect));
        if (cut) ::CombineRgn(static_cast<HRGN>(outline.get()), static_cast<HRGN>(outline.get()),
                              static_cast<HRGN>(cut.get()), RGN_DIFF);
        common::UniqueGdiObject opaque(OpaqueRegion(piece.bitmap));
        if (opaque) {
            ::OffsetRgn(static_cast<HRGN>(opaque.get()), piece.rect.left, piece.rect.top);
            ::CombineRgn(static_cast<HRGN>(outline.get()), static_cast<HRGN>(outline.get()),
                         static_cast<HRGN>(opaque.get()), RGN_OR);
        }
    }
    // The window owns the region once it accepted it.
    if (outline && ::SetWindowRgn(window, static_cast<HRGN>(outline.get()), TRUE)) outline.release();

    common::ScopedLock lock(lock_);
    clientRect_ = fitted;
    innerRect_ = inner;
    for (int i = 0; i < kPieceCount; ++i) pieces_[i] = pieces[i];
    ready_ = 1;
}

void WindowBorderPainter::Paint(HDC dc) const {
    common::ScopedLock lock(lock_);
    if (!ready_ || !window_ || !pieces_[kTopLeft].bitmap) return;
    HDC memory = ::CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = ::SelectObject(memory, pieces_[kTopLeft].bitmap);
    for (Piece corner : {kTopLeft, kTopRight, kBottomRight, kBottomLeft}) {
        const PieceInfo& piece = pieces_[corner];
        if (!piece.bitmap) continue;
        ::SelectObject(memory, piece.bitmap);
        ::BitBlt(dc, piece.rect.left, piece.rect.top, piece.width, piece.height, memory, 0, 0, SRCCOPY);
    }
    for (Piece edge : {kTop, kRight, kBottom, kLeft}) {
        const PieceInfo& piece = pieces_[edge];
        if (!piece.bitmap) continue;
        ::SelectObject(memory, piece.bitmap);
        ::StretchBlt(dc, piece.rect.left, piece.rect.top, Width(piece.rect), Height(piece.rect), memory, 0, 0,
                     piece.width, piece.height, SRCCOPY);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

RECT WindowBorderPainter::InnerRect() const {
    common::ScopedLock lock(lock_);
    return innerRect_;
}

RECT WindowBorderPainter::PieceRect(Piece piece) const {
    common::ScopedLock lock(lock_);
    return pieces_[piece].rect;
}

}  // namespace stagehand
