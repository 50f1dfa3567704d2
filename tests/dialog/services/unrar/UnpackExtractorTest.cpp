// Unpack with the open extractor itself (the build's UnRAR.dll at bin\UnRAR.dll) on
// archives from the test writers: what reaches the disk, what the events say, and how
// a hostile entry ends the call.
#include <gtest/gtest.h>

#include <algorithm>

#include "Rar5Writer.h"
#include "RarWriter.h"
#include "UnRarFixture.h"
#include "common/Handle.h"

using harness::Join;
using harness::Narrow;
using unrartest::ProgressSink;
using Names = std::vector<std::wstring>;

namespace {

class UnpackWithExtractor : public unrartest::UnRarTest {
protected:
    void SetUp() override {
        UnRarTest::SetUp();
        if (!HasFatalFailure()) InstallLibrary(L"UnRAR.dll");
    }
};

// Everything below `root`, relative and sorted; folders end with '\'.
void Tree(const std::wstring& root, const std::wstring& prefix, Names& out) {
    WIN32_FIND_DATAW fd;
    common::UniqueFindHandle f(::FindFirstFileW((root + L"\\*").c_str(), &fd));
    if (!f) return;
    do {
        const std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + n + L"\\");
            Tree(root + L"\\" + n, prefix + n + L"\\", out);
        } else {
            out.push_back(prefix + n);
        }
    } while (::FindNextFileW(f.get(), &fd));
}

Names Tree(const std::wstring& root) {
    Names out;
    Tree(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

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

TEST_F(UnpackWithExtractor, FilesFoldersAndUnicodeNamesArriveIntactAndProgressEndsAt100) {
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

TEST_F(UnpackWithExtractor, HostileEntryFailsTheCallAndNothingLandsOutsideTheDestination) {
    const std::string tag = "unpack_escape_" + std::to_string(::GetCurrentProcessId());
    const std::string hostile[] = {
        "..\\" + tag,               // beside the destination
        "sub\\..\\..\\" + tag,      // out again through a folder
        "C:\\" + tag,               // drive root
        "C:" + tag,                 // the drive's current folder
        "\\" + tag,                 // root of the current drive
        "a:stream",                 // alternate data stream
        "CON",                      // device
        "sub\\nul.txt",             // device, with an extension, in a folder
    };
    harness::DebugCapture debug;
    for (size_t i = 0; i < sizeof hostile / sizeof hostile[0]; ++i) {
        const std::wstring n = std::to_wstring(i);
        const std::wstring archive = dir_ / (L"hostile" + n + L".rar");
        harness::RarWriter w;
        w.AddFile(L"first.txt", "first");
        w.AddFileRawName(hostile[i], "evil");
        w.AddFile(L"last.txt", "last");
        w.Save(archive);
        const std::wstring outer = dir_ / (L"outer" + n);
        ASSERT_TRUE(::CreateDirectoryW(outer.c_str(), nullptr));

        // The refused entry is an entry that failed: the walk stops there, what came
        // before it stays, and the call names the archive in the debug output.
        EXPECT_HR(E_UNEXPECTED, Unpack(archive, outer + L"\\dest")) << hostile[i];
        EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(archive) + "\n")) << hostile[i];
        EXPECT_EQ((Names{L"dest\\", L"dest\\first.txt"}), Tree(outer)) << hostile[i];
    }

    // Nothing of the tagged names anywhere: not in the scratch folder (the current
    // folder), not at the drive's root.
    const std::wstring wtag = harness::Widen(tag);
    for (const std::wstring& name : Tree(dir_.path()))
        EXPECT_EQ(std::wstring::npos, name.find(wtag)) << Narrow(name);
    EXPECT_FALSE(harness::FileExists(L"C:\\" + wtag));
    EXPECT_FALSE(harness::FileExists(L"\\" + wtag));
}
