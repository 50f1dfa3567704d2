#pragma once
// Writes stored (uncompressed) RAR 4.x archives for tests: files, folders, Unicode
// names, correct header and data CRCs, and on request damaged or hostile variants
// (wrong data or header CRC, encrypted flag, any raw entry name). Output goes to a
// string or, for large archives, straight to a sink as entries are added.
#include <cstdint>
#include <functional>
#include <string>

namespace harness {

class RarWriter {
public:
    using Sink = std::function<void(const void* data, size_t size)>;

    // Collects the archive in memory (see Bytes()).
    RarWriter();
    // Streams the archive to `sink` as it is written.
    explicit RarWriter(Sink sink);

    // Entry names use '\' or '/' as separators; names with characters outside ASCII
    // get the RAR Unicode name field. Folders are written with the folder bits (0xE0)
    // and attribute 0x10.
    RarWriter& AddFile(const std::wstring& name, const std::string& data);
    RarWriter& AddFolder(const std::wstring& name);
    // Writes `rawName` byte for byte as the stored name (no separator conversion).
    RarWriter& AddFileRawName(const std::string& rawName, const std::string& data);

    // Damage applied to the next entry added, then reset.
    RarWriter& NextWithWrongDataCrc();
    RarWriter& NextWithWrongHeaderCrc();
    RarWriter& NextEncrypted();

    // Writes the end-of-archive block; Bytes() does it when not done yet.
    void Finish();
    // The whole archive (in-memory mode).
    const std::string& Bytes();
    // Writes Bytes() to a file.
    void Save(const std::wstring& path);

    static uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
    // The fixed modification time stamped on every entry (DOS format, local time).
    static const uint32_t kDosTime;

private:
    void Emit(const std::string& bytes);
    void Entry(const std::string& name, const std::string& unicodeField, const std::string& data, bool folder);
    static std::string Block(uint8_t type, uint16_t flags, const std::string& body, bool wrongCrc);

    Sink sink_;
    std::string bytes_;
    bool finished_ = false;
    bool wrongDataCrc_ = false, wrongHeaderCrc_ = false, encrypted_ = false;
};

}  // namespace harness
