#include "RarWriter.h"

#include <stdexcept>
#include <vector>

#include "Harness.h"

namespace harness {

namespace {

const uint16_t kLongBlock = 0x8000;      // ADD_SIZE present
const uint16_t kFileEncrypted = 0x0004;
const uint16_t kFileUnicode = 0x0200;
const uint16_t kFileFolder = 0x00E0;
const uint8_t kHostWindows = 2;
const uint8_t kVersion20 = 20;
const uint8_t kMethodStore = 0x30;

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

// The encoded Unicode name: high byte 0, then every character as a full 16-bit
// value (operation 2), four operations per flag byte.
std::string EncodeUnicode(const std::wstring& name) {
    std::string out;
    out += '\0';
    for (size_t i = 0; i < name.size(); i += 4) {
        size_t n = name.size() - i < 4 ? name.size() - i : 4;
        uint8_t flags = 0;
        for (size_t k = 0; k < 4; ++k) flags = static_cast<uint8_t>((flags << 2) | (k < n ? 2 : 0));
        out += static_cast<char>(flags);
        for (size_t k = 0; k < n; ++k) Put16(out, static_cast<uint16_t>(name[i + k]));
    }
    return out;
}

}  // namespace

// 2020-01-02 03:04:06.
const uint32_t RarWriter::kDosTime = (40u << 25) | (1u << 21) | (2u << 16) | (3u << 11) | (4u << 5) | 3u;

uint32_t RarWriter::Crc32(const void* data, size_t size, uint32_t crc) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

RarWriter::RarWriter() : RarWriter(nullptr) {}

RarWriter::RarWriter(Sink sink) : sink_(std::move(sink)) {
    Emit(std::string("Rar!\x1a\x07\x00", 7));
    std::string body;
    Put16(body, 0);  // reserved
    Put32(body, 0);  // reserved
    Emit(Block(0x73, 0, body, false));
}

void RarWriter::Emit(const std::string& bytes) {
    if (sink_)
        sink_(bytes.data(), bytes.size());
    else
        bytes_ += bytes;
}

// A block: CRC16 (low half of the CRC32 of everything after it), type, flags, size, body.
std::string RarWriter::Block(uint8_t type, uint16_t flags, const std::string& body, bool wrongCrc) {
    std::string rest;
    rest += static_cast<char>(type);
    Put16(rest, flags);
    Put16(rest, static_cast<uint16_t>(7 + body.size()));
    rest += body;
    uint16_t crc = static_cast<uint16_t>(Crc32(rest.data(), rest.size()));
    if (wrongCrc) crc ^= 0x5A5A;
    std::string out;
    Put16(out, crc);
    return out + rest;
}

void RarWriter::Entry(const std::string& name, const std::string& unicodeField, const std::string& data, bool folder) {
    if (finished_) throw std::logic_error("RarWriter: entry after Finish");
    uint32_t crc = folder ? 0 : Crc32(data.data(), data.size());
    if (wrongDataCrc_) crc ^= 0xA5A5A5A5u;
    std::string field = unicodeField.empty() ? name : name + '\0' + unicodeField;
    std::string body;
    Put32(body, static_cast<uint32_t>(data.size()));  // packed size
    Put32(body, static_cast<uint32_t>(data.size()));  // unpacked size
    body += static_cast<char>(kHostWindows);
    Put32(body, crc);
    Put32(body, kDosTime);
    body += static_cast<char>(kVersion20);
    body += static_cast<char>(kMethodStore);
    Put16(body, static_cast<uint16_t>(field.size()));
    Put32(body, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    body += field;
    uint16_t flags = kLongBlock | (folder ? kFileFolder : 0) | (unicodeField.empty() ? 0 : kFileUnicode) |
                     (encrypted_ ? kFileEncrypted : 0);
    Emit(Block(0x74, flags, body, wrongHeaderCrc_));
    if (!data.empty()) Emit(data);
    wrongDataCrc_ = wrongHeaderCrc_ = encrypted_ = false;
}

RarWriter& RarWriter::AddFile(const std::wstring& name, const std::string& data) {
    std::wstring n = name;
    bool ascii = true;
    for (wchar_t& c : n) {
        if (c == L'/') c = L'\\';
        if (c >= 0x80) ascii = false;
    }
    std::string plain;
    for (wchar_t c : n) plain += c < 0x80 ? static_cast<char>(c) : '_';
    Entry(plain, ascii ? std::string() : EncodeUnicode(n), data, false);
    return *this;
}

RarWriter& RarWriter::AddFolder(const std::wstring& name) {
    std::wstring n = name;
    bool ascii = true;
    for (wchar_t& c : n) {
        if (c == L'/') c = L'\\';
        if (c >= 0x80) ascii = false;
    }
    std::string plain;
    for (wchar_t c : n) plain += c < 0x80 ? static_cast<char>(c) : '_';
    Entry(plain, ascii ? std::string() : EncodeUnicode(n), std::string(), true);
    return *this;
}

RarWriter& RarWriter::AddFileRawName(const std::string& rawName, const std::string& data) {
    Entry(rawName, std::string(), data, false);
    return *this;
}

RarWriter& RarWriter::NextWithWrongDataCrc() {
    wrongDataCrc_ = true;
    return *this;
}

RarWriter& RarWriter::NextWithWrongHeaderCrc() {
    wrongHeaderCrc_ = true;
    return *this;
}

RarWriter& RarWriter::NextEncrypted() {
    encrypted_ = true;
    return *this;
}

void RarWriter::Finish() {
    if (finished_) return;
    Emit(Block(0x7B, 0x4000, std::string(), false));
    finished_ = true;
}

const std::string& RarWriter::Bytes() {
    if (sink_) throw std::logic_error("RarWriter: streaming writer has no bytes");
    Finish();
    return bytes_;
}

void RarWriter::Save(const std::wstring& path) { WriteFile(path, Bytes()); }

}  // namespace harness
