#include "Rar5Writer.h"

#include <stdexcept>

#include "Harness.h"
#include "RarWriter.h"

namespace harness {

namespace {

const uint64_t kHeadMain = 1, kHeadFile = 2, kHeadEnd = 5;
const uint64_t kHasData = 0x0002;
const uint64_t kFileFolder = 0x0001, kFileTime = 0x0002, kFileCrc = 0x0004;

// Variable-length integer: 7 bits a byte, least significant first, high bit = more.
void PutVint(std::string& s, uint64_t v) {
    do {
        uint8_t b = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
        s += static_cast<char>(v ? b | 0x80 : b);
    } while (v);
}

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

Rar5Writer::Rar5Writer() {
    bytes_.assign("Rar!\x1a\x07\x01\x00", 8);
    std::string fields;
    PutVint(fields, 0);  // archive flags
    Block(kHeadMain, 0, fields, std::string());
}

// A header: CRC32 of everything after it, header size, type, flags, [data size], fields.
// File headers always declare a data area, empty ones included.
void Rar5Writer::Block(uint64_t type, uint64_t flags, const std::string& fields, const std::string& data) {
    std::string body;
    const bool hasData = type == kHeadFile || !data.empty();
    PutVint(body, type);
    PutVint(body, flags | (hasData ? kHasData : 0));
    if (hasData) PutVint(body, data.size());
    body += fields;
    std::string header;
    PutVint(header, body.size());
    header += body;
    Put32(bytes_, RarWriter::Crc32(header.data(), header.size()));
    bytes_ += header;
    bytes_ += data;
}

void Rar5Writer::Entry(const std::wstring& name, const std::string& data, bool folder) {
    if (finished_) throw std::logic_error("Rar5Writer: entry after Bytes");
    std::wstring n = name;
    for (wchar_t& c : n)
        if (c == L'\\') c = L'/';
    std::string utf8 = Narrow(n);
    uint32_t crc = RarWriter::Crc32(data.data(), data.size());
    if (wrongDataCrc_) crc ^= 0xA5A5A5A5u;
    wrongDataCrc_ = false;
    std::string fields;
    PutVint(fields, (folder ? kFileFolder : kFileCrc) | kFileTime);
    PutVint(fields, data.size());                                  // unpacked size
    PutVint(fields, folder ? 0x10 : 0x20);                          // attributes
    Put32(fields, kUnixTime);
    if (!folder) Put32(fields, crc);
    PutVint(fields, 0);  // compression: version 0, method 0 (store)
    PutVint(fields, 0);  // host OS: Windows
    PutVint(fields, utf8.size());
    fields += utf8;
    Block(kHeadFile, 0, fields, data);
}

Rar5Writer& Rar5Writer::AddFile(const std::wstring& name, const std::string& data) {
    Entry(name, data, false);
    return *this;
}

Rar5Writer& Rar5Writer::AddFolder(const std::wstring& name) {
    Entry(name, std::string(), true);
    return *this;
}

Rar5Writer& Rar5Writer::NextWithWrongDataCrc() {
    wrongDataCrc_ = true;
    return *this;
}

const std::string& Rar5Writer::Bytes() {
    if (!finished_) {
        std::string fields;
        PutVint(fields, 0);  // last volume
        Block(kHeadEnd, 0, fields, std::string());
        finished_ = true;
    }
    return bytes_;
}

void Rar5Writer::Save(const std::wstring& path) { WriteFile(path, Bytes()); }

}  // namespace harness
