#pragma once
// A 32-bit top-down image in a GDI DIB section: pixels set directly or drawn with GDI
// (text), saved as a 24-bit Windows bitmap file.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handle.h"

namespace sample {

class BitmapImage {
public:
    BitmapImage(int width, int height);
    ~BitmapImage();
    BitmapImage(const BitmapImage&) = delete;
    BitmapImage& operator=(const BitmapImage&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    void Set(int x, int y, COLORREF colour);
    COLORREF At(int x, int y) const;
    void Fill(COLORREF colour);
    // Draws text without anti-aliasing (so a magenta background stays exactly magenta
    // around the letters), centred vertically in the image, starting at x.
    void Text(int x, const wchar_t* text, int pixelHeight, COLORREF colour, bool bold);

    // Writes a BITMAPINFOHEADER file, 24 bits per pixel, bottom-up rows. Throws on failure.
    void Save(const std::wstring& path) const;

private:
    int width_, height_;
    uint32_t* bits_ = nullptr;
    common::UniqueGdiObject dib_;
    HDC dc_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace sample
