// Unpack with the shipped UnRAR.dll (the build's, at bin\UnRAR.dll) on archives from
// the test writers: what reaches the disk, what the events say, and how a hostile entry
// ends the call.
#include <gtest/gtest.h>

#include <algorithm>

#include "Rar5Writer.h"
#include "RarWriter.h"
#include "UnRarFixture.h"

using harness::Join;
using harness::Narrow;
using unrartest::ProgressSink;
using unrartest::ShippedUnRarTest;
using Names = std::vector<std::wstring>;

using unrartest::Tree;

namespace {

// Bytes of every value, different for every seed.
std::string Data(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

struct File {
    std::wstring name;
    std::string data;
};

}  // namespace

TEST_F(ShippedUnRarTest, FilesFoldersAndUnicodeNamesArriveIntactAndProgressEndsAt100) {
    ProgressSink sink;
    const DWORD cookie = Connect(&sink);

    // RAR 4: nested and empty folders, an empty file, a file larger than one data
    // notification, names outside the ANSI code page.
    const std::vector<File> files4 = {
        {L"readme.txt", "read me\r\n"},
        {L"data\\big.bin", Data(700 * 1024 + 3, 1)},
        {L"data\\empty.dat", ""},
        {L"data\\deep\\n\u00e4me \u65e5\u672c.txt", Data(4097, 2)},
        {L"\u041f\u0440\u0438\u0432\u0435\u0442\\\u00fc\u03a9.bin", Data(100, 3)},
    };
    harness::RarWriter rar4;
    for (const wchar_t* folder : {L"data", L"data\\deep", L"\u041f\u0440\u0438\u0432\u0435\u0442", L"no files"})
        rar4.AddFolder(folder);
    for (const File& f : files4) rar4.AddFile(f.name, f.data);
    rar4.Save(dir_ / L"four.rar");

    // The destination doesn't exist yet: it is made with the first entry.
    const std::wstring out4 = dir_ / L"out4";
    EXPECT_HR(S_OK, Unpack(dir_ / L"four.rar", out4));
    EXPECT_EQ((Names{L"data\\", L"data\\big.bin", L"data\\deep\\", L"data\\deep\\n\u00e4me \u65e5\u672c.txt",
                     L"data\\empty.dat", L"no files\\", L"readme.txt", L"\u041f\u0440\u0438\u0432\u0435\u0442\\",
                     L"\u041f\u0440\u0438\u0432\u0435\u0442\\\u00fc\u03a9.bin"}),
              Tree(out4));
    for (const File& f : files4) EXPECT_TRUE(f.data == harness::ReadFile(Join(out4, f.name))) << Narrow(f.name);

    // Every chunk the extractor wrote was an event; the last one completes the archive.
    ASSERT_FALSE(sink.values.empty());
    EXPECT_TRUE(std::is_sorted(sink.values.begin(), sink.values.end()));
    EXPECT_GE(sink.values.size(), 4u) << "the large file arrives in several notifications";
    EXPECT_EQ(100, sink.values.back());
    EXPECT_EQ(100, Percent());
    EXPECT_EQ(0, sink.malformed);

    // RAR 5 in the same process: the counters span both archives, so its first event
    // starts below 100 again and its last completes both.
    const std::vector<File> files5 = {
        {L"\u00e9t\u00e9\\caf\u00e9.txt", Data(3000, 4)},
        {L"plain.bin", Data(300 * 1024, 5)},
    };
    harness::Rar5Writer rar5;
    rar5.AddFolder(L"\u00e9t\u00e9");
    for (const File& f : files5) rar5.AddFile(f.name, f.data);
    rar5.Save(dir_ / L"five.rar");

    const size_t before = sink.values.size();
    const std::wstring out5 = dir_ / L"out5";
    EXPECT_HR(S_OK, Unpack(dir_ / L"five.rar", out5));
    EXPECT_EQ((Names{L"plain.bin", L"\u00e9t\u00e9\\", L"\u00e9t\u00e9\\caf\u00e9.txt"}), Tree(out5));
    for (const File& f : files5) EXPECT_TRUE(f.data == harness::ReadFile(Join(out5, f.name))) << Narrow(f.name);
    ASSERT_GT(sink.values.size(), before);
    EXPECT_LT(sink.values[before], 100);
    EXPECT_EQ(100, sink.values.back());
    EXPECT_EQ(100, Percent());
    Disconnect(cookie);
}

TEST_F(ShippedUnRarTest, HostileEntryFailsTheCallAndNothingLandsOutsideTheDestination) {
    const std::string tag = "unpack_escape_" + std::to_string(::GetCurrentProcessId());
    const std::wstring wtag = harness::Widen(tag);
    struct Case {
        std::string name;
        Names landed;  // below the destination; empty when the unpacker refuses the entry
    };
    const Case cases[] = {
        {"..\\" + tag, {}},                // beside the destination
        {"sub\\..\\..\\" + tag, {}},     // out again through a folder
        {"\\" + tag, {}},                  // root of the current drive
        {"CON", {}},                        // device
        {"sub\\nul.txt", {}},               // device, with an extension, in a folder
        // Drives and streams: this library shows every ':' of a stored name as '_' in the
        // header already, and extracts the entry under that name, inside the destination.
        {"C:\\" + tag, {L"C_\\", L"C_\\" + wtag}},
        {"C:" + tag, {L"C_" + wtag}},
        {"a:stream", {L"a_stream"}},
    };
    harness::DebugCapture debug;
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring number = std::to_wstring(++n);
        const std::wstring archive = dir_ / (L"hostile" + number + L".rar");
        harness::RarWriter w;
        w.AddFile(L"first.txt", "first");
        w.AddFileRawName(c.name, "evil");
        w.AddFile(L"last.txt", "last");
        w.Save(archive);
        const std::wstring dest = dir_ / (L"dest" + number);
        if (c.landed.empty()) {
            // The refused entry is an entry that failed: the walk stops there, what came
            // before it stays, and the call names the archive in the debug output.
            EXPECT_HR(E_UNEXPECTED, Unpack(archive, dest)) << c.name;
            EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(archive) + "\n")) << c.name;
            EXPECT_EQ((Names{L"first.txt"}), Tree(dest)) << c.name;
        } else {
            EXPECT_HR(S_OK, Unpack(archive, dest)) << c.name;
            Names expected = c.landed;
            expected.push_back(L"first.txt");
            expected.push_back(L"last.txt");
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(expected, Tree(dest)) << c.name;
        }
    }

    // Nothing of the tagged names anywhere else: not in the scratch folder (the
    // current folder), not at the drive's root.
    for (const std::wstring& name : Tree(dir_.path()))
        if (name.rfind(L"dest", 0) != 0) EXPECT_EQ(std::wstring::npos, name.find(wtag)) << Narrow(name);
    EXPECT_FALSE(harness::FileExists(L"C:\\" + wtag));
    EXPECT_FALSE(harness::FileExists(L"\\" + wtag));
}
