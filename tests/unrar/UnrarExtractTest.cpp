// UnRAR.dll loaded and driven through its entry points the way a client does:
// open, read headers, skip/test/extract, callbacks; generated stored RAR 4 archives.
#include <gtest/gtest.h>

#include "Harness.h"
#include "Rar5Writer.h"
#include "RarWriter.h"
#include "UnrarLibrary.h"
#include "UnrarTestSupport.h"

using harness::Rar5Writer;
using harness::RarWriter;
using harness::TempDir;
using unrartest::ExtractWalk;
using unrartest::Recorder;
using unrartest::Seen;
using unrartest::UnrarLibrary;

namespace {

// Bytes that differ from position to position so misplaced chunks show.
std::string Pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>(x >> 16);
    }
    return s;
}

class UnrarDll : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << "missing: " << lib.missing(); }
    UnrarLibrary lib;
    TempDir dir{L"unrar"};
};

TEST_F(UnrarDll, ExportsThePublishedEntryPointsUndecorated) {
    EXPECT_EQ(8, lib.GetDllVersion());
    for (const char* name : {"RARSetChangeVolProc", "RARSetProcessDataProc"})
        EXPECT_NE(nullptr, ::GetProcAddress(lib.module(), name)) << name;
    // stdcall decoration is not exported: clients look the plain names up.
    for (const char* name : {"RAROpenArchiveEx@4", "_RAROpenArchiveEx@4", "RARProcessFileW@16"})
        EXPECT_EQ(nullptr, ::GetProcAddress(lib.module(), name)) << name;
}

TEST_F(UnrarDll, ExtractsFilesFoldersAndUnicodeNamesByteForByte) {
    const std::string big = Pattern(700 * 1024 + 13, 1), small = Pattern(100, 2), unicode = Pattern(3000, 3);
    const std::wstring uniFolder = L"D\u00e9j\u00e0 vu", uniName = L"D\u00e9j\u00e0 vu\\\u65e5\u672c\u8a9e \u0416.txt";
    RarWriter w;
    w.AddFolder(L"docs")
        .AddFile(L"docs\\readme.txt", small)
        .AddFolder(L"docs\\empty")
        .AddFile(L"data/big.bin", big)  // folder not listed first: created on the way
        .AddFile(L"zero.dat", std::string())
        .AddFolder(uniFolder)
        .AddFile(uniName, unicode);
    w.Save(dir / L"a.rar");

    std::vector<Seen> seen;
    ASSERT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"a.rar", dir / L"out", seen));
    ASSERT_EQ(7u, seen.size());
    const wchar_t* names[] = {L"docs", L"docs\\readme.txt", L"docs\\empty", L"data\\big.bin", L"zero.dat",
                              uniFolder.c_str(), uniName.c_str()};
    const std::string* contents[] = {nullptr, &small, nullptr, &big, nullptr, nullptr, &unicode};
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(harness::Narrow(names[i]));
        EXPECT_EQ(names[i], seen[i].name);
        EXPECT_EQ(0, seen[i].result);
        bool folder = i == 0 || i == 2 || i == 5;
        // Folders carry all three legacy folder bits (and so RHDF_DIRECTORY).
        EXPECT_EQ(folder ? 0xE0u : 0u, seen[i].flags & 0xE0u);
        std::wstring path = dir / (L"out\\" + std::wstring(names[i]));
        if (folder) {
            EXPECT_TRUE(harness::DirExists(path));
            EXPECT_EQ(0u, seen[i].chunks);
            continue;
        }
        std::string expected = contents[i] ? *contents[i] : std::string();
        EXPECT_EQ(expected.size(), seen[i].size);
        // The chunks reported add up to the file and are its bytes, in order.
        EXPECT_EQ(static_cast<LPARAM>(expected.size()), seen[i].reported);
        EXPECT_TRUE(seen[i].data == expected);
        ASSERT_TRUE(harness::FileExists(path));
        EXPECT_TRUE(harness::ReadFile(path) == expected);
    }
    EXPECT_GT(seen[3].chunks, 1u) << "a 700 KB file arrives in several chunks";
    EXPECT_EQ(0u, seen[4].chunks) << "an empty file reports no data";
    EXPECT_TRUE(harness::DirExists(dir / L"out\\docs\\empty"));

    // Timestamps come from the archive (local DOS time in the header).
    WIN32_FILE_ATTRIBUTE_DATA fa;
    ASSERT_TRUE(::GetFileAttributesExW((dir / L"out\\docs\\readme.txt").c_str(), GetFileExInfoStandard, &fa));
    FILETIME local;
    WORD date = 0, time = 0;
    ::FileTimeToLocalFileTime(&fa.ftLastWriteTime, &local);
    ::FileTimeToDosDateTime(&local, &date, &time);
    EXPECT_EQ(RarWriter::kDosTime, (static_cast<unsigned>(date) << 16) | time);
}

// The two passes of the installer's unpacking object: list mode with the short header
// record and skips, then extraction with the wide destination and the callback.
TEST_F(UnrarDll, ListPassThenExtractPassWithTheShortHeaderRecord) {
    RarWriter().AddFile(L"a.bin", Pattern(100, 4)).AddFolder(L"f").AddFile(L"f\\b.bin", Pattern(300, 5)).Save(dir / L"b.rar");

    unsigned result = 99;
    UnrarLibrary::Archive list(lib, lib.Open(dir / L"b.rar", RAR_OM_LIST, &result));
    ASSERT_TRUE(list);
    EXPECT_EQ(0u, result);
    Recorder rec;
    lib.SetCallback(list.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec));
    RARHeaderData h = {};
    unsigned total = 0;
    std::vector<std::string> names;
    int r;
    while ((r = lib.ReadHeader(list.get(), &h)) == 0) {
        names.push_back(h.FileName);
        EXPECT_STREQ(harness::Narrow(dir / L"b.rar").c_str(), h.ArcName);
        if ((h.Flags & 0xE0) == 0xE0) continue;  // folders: neither counted nor processed
        EXPECT_EQ(0, lib.ProcessFileW(list.get(), RAR_SKIP, const_cast<wchar_t*>(L""), nullptr));
        total += h.UnpSize;
    }
    EXPECT_EQ(ERAR_END_ARCHIVE, r);
    EXPECT_EQ((std::vector<std::string>{"a.bin", "f", "f\\b.bin"}), names);
    EXPECT_EQ(400u, total);
    EXPECT_EQ(0u, rec.messages.size()) << "skipping reports no data";
    EXPECT_EQ(0, list.Close());

    // Extraction through the list-mode handle is a skip: nothing is written.
    UnrarLibrary::Archive list2(lib, lib.Open(dir / L"b.rar", RAR_OM_LIST));
    ASSERT_TRUE(list2);
    ASSERT_EQ(0, lib.ReadHeader(list2.get(), &h));
    std::wstring dest = dir / L"never";
    EXPECT_EQ(0, lib.ProcessFileW(list2.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_FALSE(harness::DirExists(dest));

    UnrarLibrary::Archive ex(lib, lib.Open(dir / L"b.rar", RAR_OM_EXTRACT));
    ASSERT_TRUE(ex);
    lib.SetCallback(ex.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec));
    dest = dir / L"out";
    while (lib.ReadHeader(ex.get(), &h) == 0) EXPECT_EQ(0, lib.ProcessFileW(ex.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_EQ(2u, rec.Count(UCM_PROCESSDATA));
    EXPECT_EQ(400, rec.DataTotal());
    EXPECT_TRUE(harness::ReadFile(dir / L"out\\f\\b.bin") == Pattern(300, 5));
}

TEST_F(UnrarDll, AnsiEntryPointsAndAnExplicitDestinationName) {
    RarWriter().AddFile(L"one.txt", "first").AddFile(L"two.txt", "second").Save(dir / L"c.rar");
    std::string arc = harness::Narrow(dir / L"c.rar");
    RAROpenArchiveData od = {};
    od.ArcName = &arc[0];
    od.OpenMode = RAR_OM_EXTRACT;
    od.OpenResult = 99;
    UnrarLibrary::Archive a(lib, lib.OpenArchive(&od));
    ASSERT_TRUE(a);
    EXPECT_EQ(0u, od.OpenResult);
    RARHeaderData h = {};
    std::string dest = harness::Narrow(dir / L"ansi");
    ASSERT_EQ(0, lib.ReadHeader(a.get(), &h));
    EXPECT_EQ(5u, h.UnpSize);
    EXPECT_EQ(0, lib.ProcessFile(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    // A destination name replaces folder and entry name, missing folders included.
    std::string named = harness::Narrow(dir / L"elsewhere\\renamed.txt");
    ASSERT_EQ(0, lib.ReadHeader(a.get(), &h));
    EXPECT_EQ(0, lib.ProcessFile(a.get(), RAR_EXTRACT, nullptr, &named[0]));
    EXPECT_EQ(ERAR_END_ARCHIVE, lib.ReadHeader(a.get(), &h));
    EXPECT_EQ("first", harness::ReadFile(dir / L"ansi\\one.txt"));
    EXPECT_EQ("second", harness::ReadFile(dir / L"elsewhere\\renamed.txt"));
    EXPECT_FALSE(harness::FileExists(dir / L"ansi\\two.txt"));
}

TEST_F(UnrarDll, TestModeReportsDataWithoutWritingAndCancelStopsAnEntry) {
    const std::string data = Pattern(600 * 1024, 6);
    RarWriter().AddFile(L"x.bin", data).AddFile(L"y.bin", "tail").Save(dir / L"d.rar");

    std::vector<Seen> seen;
    EXPECT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"d.rar", dir / L"out", seen, RAR_TEST));
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0, seen[0].result);
    EXPECT_EQ(static_cast<LPARAM>(data.size()), seen[0].reported);
    EXPECT_FALSE(harness::DirExists(dir / L"out"));

    // The callback answers -1 to the first chunk: the entry fails, its partial file is removed,
    // and the walk can go on with the next entry.
    UnrarLibrary::Archive a(lib, lib.Open(dir / L"d.rar", RAR_OM_EXTRACT));
    ASSERT_TRUE(a);
    Recorder rec;
    rec.cancelAfterChunks = 1;
    lib.SetCallback(a.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec));
    std::vector<RARHeaderDataEx> records(1);
    RARHeaderDataEx* h = &records[0];
    std::wstring dest = dir / L"out";
    ASSERT_EQ(0, lib.ReadHeaderEx(a.get(), h));
    EXPECT_NE(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_EQ(1u, rec.Count(UCM_PROCESSDATA));
    EXPECT_FALSE(harness::FileExists(dir / L"out\\x.bin"));
    rec.cancelAfterChunks = -1;
    ASSERT_EQ(0, lib.ReadHeaderEx(a.get(), h));
    EXPECT_STREQ(L"y.bin", h->FileNameW);
    EXPECT_EQ(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_EQ("tail", harness::ReadFile(dir / L"out\\y.bin"));
}

TEST_F(UnrarDll, HeaderRecordsCarrySizesTimesAndNames) {
    const std::wstring name = L"\u00fcber\\\u0436\u0443\u043a.txt";
    RarWriter().AddFile(name, Pattern(1234, 7)).Save(dir / L"e.rar");
    UnrarLibrary::Archive a(lib, lib.Open(dir / L"e.rar", RAR_OM_LIST));
    ASSERT_TRUE(a);
    std::vector<RARHeaderDataEx> h(1);
    wchar_t redir[64] = L"untouched";
    h[0].RedirName = redir;
    h[0].RedirNameSize = 64;
    ASSERT_EQ(0, lib.ReadHeaderEx(a.get(), &h[0]));
    EXPECT_EQ(name, h[0].FileNameW);
    EXPECT_EQ(dir / L"e.rar", h[0].ArcNameW);
    EXPECT_EQ(1234u, h[0].UnpSize);
    EXPECT_EQ(0u, h[0].UnpSizeHigh);
    EXPECT_EQ(0u, h[0].Flags);
    EXPECT_EQ(0u, h[0].RedirType);
    EXPECT_STREQ(L"", redir);
    EXPECT_EQ(RarWriter::kDosTime, h[0].FileTime);
    EXPECT_NE(0u, h[0].MtimeHigh);
    EXPECT_EQ(ERAR_END_ARCHIVE, lib.ReadHeaderEx(a.get(), &h[0]));
    EXPECT_EQ(ERAR_END_ARCHIVE, lib.ReadHeaderEx(a.get(), &h[0]));
}

}  // namespace

namespace {

TEST_F(UnrarDll, ExtractsBelowDestinationsLongerThanMaxPath) {
    std::wstring dest = dir.path();
    while (dest.size() < 300) dest += L"\\" + std::wstring(40, L'd');
    const std::string data = Pattern(5000, 8);
    RarWriter().AddFolder(L"sub").AddFile(L"sub\\long.bin", data).Save(dir / L"long.rar");

    std::vector<Seen> seen;
    EXPECT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"long.rar", dest, seen));
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0, seen[0].result);
    EXPECT_EQ(0, seen[1].result);
    EXPECT_TRUE(harness::ReadFile(L"\\\\?\\" + dest + L"\\sub\\long.bin") == data);
}

TEST_F(UnrarDll, MisuseOfHandlesIsAnErrorNotACrash) {
    RARHeaderData h = {};
    EXPECT_NE(0, lib.ReadHeader(nullptr, &h));
    EXPECT_NE(0, lib.ProcessFileW(nullptr, RAR_EXTRACT, nullptr, nullptr));
    EXPECT_EQ(ERAR_ECLOSE, lib.CloseArchive(nullptr));
    EXPECT_EQ(nullptr, lib.OpenArchiveEx(nullptr));
    lib.SetCallback(nullptr, &Recorder::Callback, 0);
    lib.SetPassword(nullptr, nullptr);

    // Processing before any header was read is refused; the walk then works as usual.
    RarWriter().AddFile(L"a.txt", "abc").Save(dir / L"m.rar");
    UnrarLibrary::Archive a(lib, lib.Open(dir / L"m.rar", RAR_OM_EXTRACT));
    ASSERT_TRUE(a);
    std::wstring dest = dir / L"out";
    EXPECT_NE(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    ASSERT_EQ(0, lib.ReadHeader(a.get(), &h));
    EXPECT_EQ(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_NE(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr)) << "the entry was already processed";
    EXPECT_EQ("abc", harness::ReadFile(dir / L"out\\a.txt"));
}

}  // namespace

namespace {

TEST_F(UnrarDll, ReadsStoredRar5Archives) {
    const std::string big = Pattern(400 * 1024 + 7, 9), small = Pattern(77, 10);
    const std::wstring uniName = L"\u0444\u0430\u0439\u043b\\\u30c7\u30fc\u30bf.bin";
    Rar5Writer w;
    w.AddFolder(L"f").AddFile(L"f\\small.txt", small).AddFile(uniName, big).AddFile(L"empty", std::string());
    w.Save(dir / L"five.rar");

    std::vector<Seen> seen;
    EXPECT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"five.rar", dir / L"out", seen));
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(L"f", seen[0].name);
    EXPECT_EQ(0xE0u, seen[0].flags & 0xE0u);
    EXPECT_EQ(uniName, seen[2].name);
    for (const Seen& s : seen) EXPECT_EQ(0, s.result) << harness::Narrow(s.name);
    EXPECT_EQ(static_cast<LPARAM>(big.size()), seen[2].reported);
    EXPECT_TRUE(harness::DirExists(dir / L"out\\f"));
    EXPECT_TRUE(harness::ReadFile(dir / L"out\\f\\small.txt") == small);
    EXPECT_TRUE(harness::ReadFile(dir / (L"out\\" + uniName)) == big);
    EXPECT_TRUE(harness::FileExists(dir / L"out\\empty"));

    Rar5Writer bad;
    bad.NextWithWrongDataCrc().AddFile(L"broken.bin", small);
    bad.Save(dir / L"five_bad.rar");
    seen.clear();
    ExtractWalk(lib, dir / L"five_bad.rar", dir / L"bad", seen);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(ERAR_BAD_DATA, seen[0].result);
    EXPECT_FALSE(harness::FileExists(dir / L"bad\\broken.bin"));
}

}  // namespace
