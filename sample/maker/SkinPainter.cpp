#include "SkinPainter.h"

#include "BitmapImage.h"

namespace sample {

namespace {
std::wstring In(const std::wstring& folder, const wchar_t* name) { return folder + L"\\" + name; }

int Mix(int from, int to, int step, int steps) { return from + (to - from) * step / (steps > 1 ? steps - 1 : 1); }
}  // namespace

COLORREF SkinPainter::Shade(int y, int height, bool top) {
    // Deep blue, lighter towards the window's content.
    if (top) return RGB(Mix(18, 46, y, height), Mix(42, 92, y, height), Mix(86, 150, y, height));
    return RGB(Mix(46, 18, y, height), Mix(92, 42, y, height), Mix(150, 86, y, height));
}

void SkinPainter::WriteAll(const std::wstring& folder) const {
    Corner(In(folder, L"topleft.bmp"), kCorner, true, true);
    Corner(In(folder, L"topright.bmp"), kCorner, true, false);
    Corner(In(folder, L"bottomleft.bmp"), kBottom, false, true);
    Corner(In(folder, L"bottomright.bmp"), kBottom, false, false);
    Band(In(folder, L"top.bmp"), 16, kCorner, true);
    Band(In(folder, L"bottom.bmp"), 16, kBottom, false);
    Band(In(folder, L"left.bmp"), kSide, 16, true);
    Band(In(folder, L"right.bmp"), kSide, 16, true);
    Button(In(folder, L"closebuttoninactive.bmp"), true, false);
    Button(In(folder, L"closebuttonpressed.bmp"), true, true);
    Button(In(folder, L"minimizebuttoninactive.bmp"), false, false);
    Button(In(folder, L"minimizebuttonpressed.bmp"), false, true);
    Logo(In(folder, L"logoleft.bmp"), 200, L"Sample Game", 20);
    Logo(In(folder, L"logoright.bmp"), 100, L"Tessaly", 13);
}

void SkinPainter::Corner(const std::wstring& path, int height, bool top, bool left) const {
    BitmapImage image(kCorner, height);
    // The centre of the rounding circle, kRadius in from the outer corner.
    const int cx = left ? kRadius : kCorner - 1 - kRadius;
    const int cy = top ? kRadius : height - 1 - kRadius;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kCorner; ++x) {
            const bool beyondX = left ? x < cx : x > cx;
            const bool beyondY = top ? y < cy : y > cy;
            const int dx = x - cx, dy = y - cy;
            const bool outside = beyondX && beyondY && dx * dx + dy * dy > kRadius * kRadius;
            image.Set(x, y, outside ? kMagenta : Shade(y, height, top));
        }
    image.Save(path);
}

void SkinPainter::Band(const std::wstring& path, int width, int height, bool top) const {
    BitmapImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.Set(x, y, Shade(y, height, top));
    image.Save(path);
}

void SkinPainter::Button(const std::wstring& path, bool close, bool pressed) const {
    BitmapImage image(kButton, kButton);
    const COLORREF face = close ? (pressed ? RGB(150, 30, 30) : RGB(205, 60, 50))
                                : (pressed ? RGB(60, 80, 110) : RGB(95, 120, 160));
    const COLORREF mark = RGB(255, 255, 255);
    for (int y = 0; y < kButton; ++y)
        for (int x = 0; x < kButton; ++x) {
            // Rounded by one pixel: the four corner pixels are transparent.
            const bool corner = (x == 0 || x == kButton - 1) && (y == 0 || y == kButton - 1);
            COLORREF c = corner ? kMagenta : face;
            const int lo = 5, hi = kButton - 6;
            if (close && x >= lo && x <= hi && y >= lo && y <= hi && (x - y == 0 || x + y == kButton - 1 ||
                                                                     x - y == 1 || x + y == kButton))
                c = mark;
            if (!close && y >= hi - 1 && y <= hi && x >= lo && x <= hi) c = mark;
            image.Set(x, y, c);
        }
    image.Save(path);
}

void SkinPainter::Logo(const std::wstring& path, int width, const wchar_t* text, int pixelHeight) const {
    // Text on magenta: only the letters are drawn over the title band.
    BitmapImage image(width, kCorner);
    image.Fill(kMagenta);
    image.Text(2, text, pixelHeight, RGB(255, 255, 255), true);
    image.Save(path);
}

}  // namespace sample
