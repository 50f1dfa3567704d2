#pragma once
// Builds the sample game's payload: the files the installer must put on disk, written
// to a folder as they are (the reference the installed copy is compared with) and
// packed, in the same order, into a stored RAR archive.
#include <cstdint>
#include <memory>
#include <string>

#include "common/Handle.h"

namespace harness {
class RarWriter;
}

namespace sample {

class PayloadBuilder {
public:
    // `folder` receives the files, `archive` the RAR archive; both are created anew.
    PayloadBuilder(const std::wstring& folder, const std::wstring& archive);
    ~PayloadBuilder();
    PayloadBuilder(const PayloadBuilder&) = delete;
    PayloadBuilder& operator=(const PayloadBuilder&) = delete;

    // Adds one file; `name` is relative, with '\' separators. Throws on failure.
    void Add(const std::wstring& name, const std::string& bytes);
    // Adds a copy of a file that exists on disk (the game program).
    void AddCopy(const std::wstring& name, const std::wstring& source);
    // Ends the archive.
    void Finish();

    // Deterministic filler that does not compress: the same seed gives the same bytes.
    static std::string Noise(size_t size, uint32_t seed);

private:
    void MakeParents(const std::wstring& name);

    std::wstring folder_;
    common::UniqueHandle archiveFile_;
    std::unique_ptr<harness::RarWriter> writer_;
};

}  // namespace sample
