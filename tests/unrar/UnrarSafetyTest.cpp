// UnRAR.dll on hostile and damaged archives: entries that would land outside the
// destination are refused one by one, damage is reported, nothing hangs or crashes.
#include <gtest/gtest.h>

#include <algorithm>

#include "Harness.h"
#include "RarWriter.h"
#include "UnrarLibrary.h"
#include "UnrarTestSupport.h"

using harness::RarWriter;
using harness::TempDir;
using unrartest::ExtractWalk;
using unrartest::ListTree;
using unrartest::Recorder;
using unrartest::Seen;
using unrartest::UnrarLibrary;

namespace {

class UnrarSafety : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << "missing: " << lib.missing(); }
    UnrarLibrary lib;
    TempDir dir{L"unrarsafe"};
};

TEST_F(UnrarSafety, HostileEntriesAreRefusedAndNothingLandsOutsideTheDestination) {
    // Unique names so that a file escaping to a drive root can be looked for.
    const std::string tag = "unrar_escape_" + std::to_string(::GetCurrentProcessId());
    const std::string hostile[] = {
        "..\\" + tag + "_parent",          // parent of the destination
        "sub\\..\\..\\" + tag + "_deep",    // climbs back out through a folder
        "C:\\" + tag + "_drive",            // drive letter
        "C:" + tag + "_driverel",           // drive-relative
        "\\" + tag + "_abs",                // rooted on the current drive
        "\\\\?\\C:\\" + tag + "_device",    // device path
        "a:stream",                         // alternate data stream
        "good.txt:hidden",                  // stream of an otherwise fine name
        "CON",
        "nul.txt",
        "sub\\com1.log",
        "aux .txt",
        "trailing..",
        "dot\\.\\x",
    };
    RarWriter w;
    for (const std::string& name : hostile) w.AddFileRawName(name, "evil " + name);
    w.AddFile(L"good.txt", "good");
    w.AddFile(L"sub\\fine.txt", "fine");
    w.Save(dir / L"hostile.rar");

    std::vector<Seen> seen;
    const std::wstring dest = dir / L"outer\\dest";
    ASSERT_TRUE(::CreateDirectoryW((dir / L"outer").c_str(), nullptr));
    EXPECT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"hostile.rar", dest, seen));
    const size_t n = sizeof hostile / sizeof hostile[0];
    ASSERT_EQ(n + 2, seen.size()) << "every entry is still walked";
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(ERAR_ECREATE, seen[i].result) << hostile[i];
        EXPECT_EQ(0, seen[i].reported) << hostile[i];
    }
    EXPECT_EQ(0, seen[n].result);
    EXPECT_EQ(0, seen[n + 1].result);

    // Only the good entries exist, inside the destination; nothing beside it.
    std::vector<std::wstring> outer;
    ListTree(dir / L"outer", L"", outer);
    std::sort(outer.begin(), outer.end());
    EXPECT_EQ((std::vector<std::wstring>{L"dest\\", L"dest\\good.txt", L"dest\\sub\\", L"dest\\sub\\fine.txt"}), outer);
    std::vector<std::wstring> top;
    ListTree(dir.path(), L"", top);
    EXPECT_EQ(0, std::count_if(top.begin(), top.end(), [](const std::wstring& s) { return s.find(L"unrar_escape_") != std::wstring::npos; }));
    const std::wstring wtag = harness::Widen(tag);
    for (const wchar_t* root : {L"C:\\", L"\\"}) {
        for (const wchar_t* suffix : {L"_drive", L"_driverel", L"_abs", L"_device", L"_parent", L"_deep"})
            EXPECT_FALSE(harness::FileExists(std::wstring(root) + wtag + suffix)) << harness::Narrow(root + wtag + suffix);
    }
    EXPECT_EQ("good", harness::ReadFile(dest + L"\\good.txt"));
}

TEST_F(UnrarSafety, DamagedArchivesReportErrors) {
    // Wrong data CRC: the entry fails and leaves no file; the archive can't go on after it.
    RarWriter bad;
    bad.AddFile(L"ok.txt", "fine").NextWithWrongDataCrc().AddFile(L"broken.txt", std::string(5000, 'b'));
    bad.Save(dir / L"badcrc.rar");
    std::vector<Seen> seen;
    int end = ExtractWalk(lib, dir / L"badcrc.rar", dir / L"o1", seen);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0, seen[0].result);
    EXPECT_EQ(ERAR_BAD_DATA, seen[1].result);
    EXPECT_NE(0, end);
    EXPECT_EQ("fine", harness::ReadFile(dir / L"o1\\ok.txt"));
    EXPECT_FALSE(harness::FileExists(dir / L"o1\\broken.txt"));

    // A damaged header ends the walk with ERAR_BAD_DATA.
    RarWriter hdr;
    hdr.AddFile(L"first.txt", "1").NextWithWrongHeaderCrc().AddFile(L"second.txt", "2");
    hdr.Save(dir / L"badhdr.rar");
    seen.clear();
    EXPECT_EQ(ERAR_BAD_DATA, ExtractWalk(lib, dir / L"badhdr.rar", dir / L"o2", seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(0, seen[0].result);
    EXPECT_FALSE(harness::FileExists(dir / L"o2\\second.txt"));

    // Truncated inside the data of the second entry, and inside its header.
    RarWriter full;
    full.AddFile(L"a.txt", "aaaa").AddFile(L"b.bin", std::string(20000, 'x'));
    const std::string bytes = full.Bytes();
    harness::WriteFile(dir / L"cut_data.rar", bytes.substr(0, bytes.size() - 5000));
    seen.clear();
    end = ExtractWalk(lib, dir / L"cut_data.rar", dir / L"o3", seen);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0, seen[0].result);
    EXPECT_EQ(ERAR_BAD_DATA, seen[1].result);
    EXPECT_FALSE(harness::FileExists(dir / L"o3\\b.bin"));
    EXPECT_NE(0, end);
    const size_t secondHeader = 7 + 13 + (7 + 25 + 5 + 4);
    harness::WriteFile(dir / L"cut_header.rar", bytes.substr(0, secondHeader + 10));
    seen.clear();
    EXPECT_EQ(ERAR_BAD_DATA, ExtractWalk(lib, dir / L"cut_header.rar", dir / L"o4", seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("aaaa", harness::ReadFile(dir / L"o4\\a.txt"));
}

TEST_F(UnrarSafety, MissingOrForeignArchivesFailToOpen) {
    unsigned result = 0;
    EXPECT_EQ(nullptr, lib.Open(dir / L"missing.rar", RAR_OM_EXTRACT, &result));
    EXPECT_EQ(static_cast<unsigned>(ERAR_EOPEN), result);
    EXPECT_EQ(nullptr, lib.Open(dir.path(), RAR_OM_LIST, &result)) << "a folder";
    EXPECT_EQ(static_cast<unsigned>(ERAR_EOPEN), result);

    std::string name = harness::Narrow(dir / L"missing.rar");
    RAROpenArchiveData od = {};
    od.ArcName = &name[0];
    EXPECT_EQ(nullptr, lib.OpenArchive(&od));
    EXPECT_EQ(static_cast<unsigned>(ERAR_EOPEN), od.OpenResult);

    harness::WriteFile(dir / L"text.rar", "this is not an archive at all, just some text");
    result = 0;
    EXPECT_EQ(nullptr, lib.Open(dir / L"text.rar", RAR_OM_EXTRACT, &result));
    EXPECT_EQ(static_cast<unsigned>(ERAR_BAD_ARCHIVE), result);
    harness::WriteFile(dir / L"empty.rar", "");
    EXPECT_EQ(nullptr, lib.Open(dir / L"empty.rar", RAR_OM_EXTRACT, &result));
    EXPECT_NE(0u, result);

    // An archive with no entries opens and ends at once.
    RarWriter().Save(dir / L"none.rar");
    std::vector<Seen> seen;
    EXPECT_EQ(ERAR_END_ARCHIVE, ExtractWalk(lib, dir / L"none.rar", dir / L"o", seen));
    EXPECT_TRUE(seen.empty());
}

TEST_F(UnrarSafety, EncryptedEntriesAskForAPasswordAndAreNotWritten) {
    RarWriter w;
    w.NextEncrypted().AddFile(L"secret.txt", std::string(64, 's')).AddFile(L"plain.txt", "plain");
    w.Save(dir / L"enc.rar");

    UnrarLibrary::Archive a(lib, lib.Open(dir / L"enc.rar", RAR_OM_EXTRACT));
    ASSERT_TRUE(a);
    Recorder rec;
    lib.SetCallback(a.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec));
    std::vector<RARHeaderDataEx> h(1);
    std::wstring dest = dir / L"out";
    ASSERT_EQ(0, lib.ReadHeaderEx(a.get(), &h[0]));
    EXPECT_EQ(static_cast<unsigned>(RHDF_ENCRYPTED), h[0].Flags & RHDF_ENCRYPTED);
    // The wide request comes first; with no answer the narrow one follows.
    EXPECT_EQ(ERAR_MISSING_PASSWORD, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    ASSERT_EQ(2u, rec.messages.size());
    EXPECT_EQ(static_cast<UINT>(UCM_NEEDPASSWORDW), rec.messages[0].msg);
    EXPECT_EQ(static_cast<UINT>(UCM_NEEDPASSWORD), rec.messages[1].msg);
    EXPECT_GT(rec.messages[1].size, 0);
    EXPECT_FALSE(harness::FileExists(dest + L"\\secret.txt"));
    ASSERT_EQ(0, lib.ReadHeaderEx(a.get(), &h[0]));
    EXPECT_EQ(0, lib.ProcessFileW(a.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_EQ("plain", harness::ReadFile(dest + L"\\plain.txt"));

    // With a password libarchive still can't decrypt: a distinct error, no file.
    UnrarLibrary::Archive b(lib, lib.Open(dir / L"enc.rar", RAR_OM_EXTRACT));
    ASSERT_TRUE(b);
    char pw[] = "pw";
    lib.SetPassword(b.get(), pw);
    Recorder rec2;
    lib.SetCallback(b.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec2));
    ASSERT_EQ(0, lib.ReadHeaderEx(b.get(), &h[0]));
    EXPECT_EQ(ERAR_UNKNOWN_FORMAT, lib.ProcessFileW(b.get(), RAR_EXTRACT, &dest[0], nullptr));
    EXPECT_EQ(0u, rec2.messages.size());
}

}  // namespace
