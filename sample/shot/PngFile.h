#pragma once
// Writes an RGB image as a PNG file (8 bits per channel, no interlace). The image data
// is deflate-stored (uncompressed blocks): any PNG reader takes it, and no compression
// library is needed.
#include <cstdint>
#include <string>
#include <vector>

namespace sample {

class PngFile {
public:
    PngFile(int width, int height);

    // Colour of one pixel, red, green and blue.
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b);
    // The whole file. Throws when the image is too large for one file.
    std::string Bytes() const;
    // Writes Bytes() to a file; false on failure.
    bool Save(const std::wstring& path) const;

    static uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
    static uint32_t Adler32(const void* data, size_t size);

private:
    int width_, height_;
    std::vector<uint8_t> rows_;  // per row: filter byte 0, then RGB triples
};

}  // namespace sample
