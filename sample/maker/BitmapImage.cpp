#include "BitmapImage.h"

#include <stdexcept>
#include <vector>

namespace sample {

BitmapImage::BitmapImage(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw std::invalid_argument("empty image");
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib_.reset(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc_ = ::CreateCompatibleDC(nullptr);
    if (!dib_ || !bits || !dc_) {
        if (dc_) ::DeleteDC(dc_);
        throw std::runtime_error("no DIB section for the image");
    }
    bits_ = static_cast<uint32_t*>(bits);
    oldBitmap_ = ::SelectObject(dc_, dib_.get());
}

BitmapImage::~BitmapImage() {
    ::SelectObject(dc_, oldBitmap_);
    ::DeleteDC(dc_);
}

void BitmapImage::Set(int x, int y, COLORREF colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    bits_[static_cast<size_t>(y) * width_ + x] =
        (static_cast<uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

COLORREF BitmapImage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const uint32_t p = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void BitmapImage::Fill(COLORREF colour) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) Set(x, y, colour);
}

void BitmapImage::Text(int x, const wchar_t* text, int pixelHeight, COLORREF colour, bool bold) {
    common::UniqueGdiObject font(::CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                               NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    HGDIOBJ oldFont = font ? ::SelectObject(dc_, font.get()) : nullptr;
    ::SetBkMode(dc_, TRANSPARENT);
    ::SetTextColor(dc_, colour);
    RECT r = {x, 0, width_, height_};
    ::DrawTextW(dc_, text, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::GdiFlush();
    if (oldFont) ::SelectObject(dc_, oldFont);
}

void BitmapImage::Save(const std::wstring& path) const {
    const int rowBytes = (width_ * 3 + 3) & ~3;
    const DWORD imageBytes = static_cast<DWORD>(rowBytes) * height_;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + imageBytes;
    info.biSize = sizeof info;
    info.biWidth = width_;
    info.biHeight = height_;  // bottom-up, as most readers expect
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageBytes;

    std::vector<unsigned char> bytes(file.bfSize, 0);
    memcpy(bytes.data(), &file, sizeof file);
    memcpy(bytes.data() + sizeof file, &info, sizeof info);
    for (int y = 0; y < height_; ++y) {
        unsigned char* row = bytes.data() + file.bfOffBits + static_cast<size_t>(height_ - 1 - y) * rowBytes;
        for (int x = 0; x < width_; ++x) {
            const COLORREF c = At(x, y);
            row[x * 3 + 0] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    common::UniqueHandle out(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out || !::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write a bitmap file");
}

}  // namespace sample
