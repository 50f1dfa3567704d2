#pragma once
// Writes stored (uncompressed) RAR 5 archives for tests: files and folders with UTF-8
// names and data CRC32s, optionally with a wrong data CRC.
#include <cstdint>
#include <string>

namespace harness {

class Rar5Writer {
public:
    Rar5Writer();
    // Names use '\' or '/' as separators.
    Rar5Writer& AddFile(const std::wstring& name, const std::string& data);
    Rar5Writer& AddFolder(const std::wstring& name);
    // The next entry added gets a wrong data CRC.
    Rar5Writer& NextWithWrongDataCrc();

    // The whole archive, with its end block.
    const std::string& Bytes();
    void Save(const std::wstring& path);

    // Modification time stamped on every entry (Unix time, 2020-01-02 03:04:06 UTC).
    static const uint32_t kUnixTime = 1577934246u;

private:
    void Block(uint64_t type, uint64_t flags, const std::string& fields, const std::string& data);
    void Entry(const std::wstring& name, const std::string& data, bool folder);

    std::string bytes_;
    bool finished_ = false, wrongDataCrc_ = false;
};

}  // namespace harness
