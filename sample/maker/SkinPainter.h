#pragma once
// Paints the sample installer's skin: the eight frame pieces the installer window
// reads from its skin folder (rounded corners cut out in magenta, the transparent
// colour), the close and minimize buttons in their normal and pressed look, and the
// two logos.
#include <windows.h>

#include <string>

namespace sample {

class BitmapImage;

class SkinPainter {
public:
    // Writes every skin file into `folder` (which must exist). Throws on failure.
    void WriteAll(const std::wstring& folder) const;

    // Sizes the installer script and the tests rely on.
    static constexpr int kCorner = 40;     // corners are kCorner x kCorner (top) and kCorner x kBottom
    static constexpr int kBottom = 34;     // height of the bottom band (the progress bar sits in it)
    static constexpr int kSide = 8;        // width of the left and right edges
    static constexpr int kRadius = 14;     // radius of the rounded corners
    static constexpr int kButton = 18;     // close and minimize buttons are square
    static constexpr COLORREF kMagenta = RGB(255, 0, 255);

private:
    void Corner(const std::wstring& path, int height, bool top, bool left) const;
    void Band(const std::wstring& path, int width, int height, bool top) const;
    void Button(const std::wstring& path, bool close, bool pressed) const;
    void Logo(const std::wstring& path, int width, const wchar_t* text, int pixelHeight) const;
    // The frame's colour at row y of a band `height` high (a vertical gradient).
    static COLORREF Shade(int y, int height, bool top);
};

}  // namespace sample
