#include "PngFile.h"

#include <windows.h>

#include <stdexcept>

#include "common/Handle.h"

namespace sample {

namespace {
void Put32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    Put32(out, PngFile::Crc32(typed.data(), typed.size()));
}
}  // namespace

PngFile::PngFile(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) throw std::invalid_argument("image size");
    rows_.assign(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 3), 0);
}

void PngFile::Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &rows_[static_cast<size_t>(y) * (1 + static_cast<size_t>(width_) * 3) + 1 + static_cast<size_t>(x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

uint32_t PngFile::Crc32(const void* data, size_t size, uint32_t crc) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    crc = ~crc;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t PngFile::Adler32(const void* data, size_t size) {
    uint32_t a = 1, b = 0;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        a = (a + p[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::string PngFile::Bytes() const {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    Put32(header, static_cast<uint32_t>(width_));
    Put32(header, static_cast<uint32_t>(height_));
    header += '\x08';  // bits per channel
    header += '\x02';  // colour type: RGB
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
    Chunk(out, "IHDR", header);

    // zlib stream: header 0x78 0x01, stored blocks of at most 65535 bytes, Adler-32.
    std::string z("\x78\x01", 2);
    size_t at = 0;
    do {
        const size_t n = rows_.size() - at > 65535 ? 65535 : rows_.size() - at;
        const bool last = at + n == rows_.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(reinterpret_cast<const char*>(rows_.data()) + at, n);
        at += n;
    } while (at < rows_.size());
    Put32(z, Adler32(rows_.data(), rows_.size()));
    Chunk(out, "IDAT", z);
    Chunk(out, "IEND", std::string());
    return out;
}

bool PngFile::Save(const std::wstring& path) const {
    const std::string bytes = Bytes();
    common::UniqueHandle out(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return out && ::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace sample
