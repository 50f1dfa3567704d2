#include "PayloadBuilder.h"

#include <windows.h>

#include <stdexcept>

#include "RarWriter.h"

namespace sample {

namespace {
void WriteAll(HANDLE file, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, p, chunk, &written, nullptr) || written == 0)
            throw std::runtime_error("cannot write the payload");
        p += written;
        size -= written;
    }
}
}  // namespace

PayloadBuilder::PayloadBuilder(const std::wstring& folder, const std::wstring& archive)
    : folder_(folder),
      archiveFile_(::CreateFileW(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr)) {
    if (!archiveFile_) throw std::runtime_error("cannot create the archive");
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    HANDLE file = archiveFile_.get();
    writer_ = std::make_unique<harness::RarWriter>([file](const void* data, size_t size) { WriteAll(file, data, size); });
}

PayloadBuilder::~PayloadBuilder() = default;

void PayloadBuilder::MakeParents(const std::wstring& name) {
    for (size_t at = name.find(L'\\'); at != std::wstring::npos; at = name.find(L'\\', at + 1))
        ::CreateDirectoryW((folder_ + L"\\" + name.substr(0, at)).c_str(), nullptr);
}

void PayloadBuilder::Add(const std::wstring& name, const std::string& bytes) {
    MakeParents(name);
    common::UniqueHandle out(::CreateFileW((folder_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) throw std::runtime_error("cannot create a payload file");
    WriteAll(out.get(), bytes.data(), bytes.size());
    writer_->AddFile(name, bytes);
}

void PayloadBuilder::AddCopy(const std::wstring& name, const std::wstring& source) {
    common::UniqueHandle in(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!in || !::GetFileSizeEx(in.get(), &size) || size.QuadPart > (64 << 20))
        throw std::runtime_error("cannot read a file for the payload");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(in.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        throw std::runtime_error("cannot read a file for the payload");
    Add(name, bytes);
}

void PayloadBuilder::Finish() { writer_->Finish(); }

std::string PayloadBuilder::Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed ? seed : 0x9E3779B9u;
    for (size_t i = 0; i < size; ++i) {
        // xorshift32
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

}  // namespace sample
