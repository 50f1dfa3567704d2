// Unpack with the shipped UnRAR.dll on archives made by RAR itself: libarchive's test
// archives (RAR 2.9/4 and 5; LZSS, PPMd, VM and delta/ARM filters, solid, volumes,
// Unicode names, SFX, links, encrypted), as the installer script calls the object. The
// library checks every file's CRC32 or BLAKE2 itself, so S_OK means every file arrived
// intact; names, sizes and contents are compared where libarchive's tests state them.
// The PPMd/LZSS switching sample unpacks to 241 MB: the unpacking benchmark runs it, so that
// a test run never waits on that much disk writing.
#include <gtest/gtest.h>

#include <algorithm>

#include "UnRarFixture.h"

using harness::Narrow;
using unrartest::ProgressSink;
using unrartest::ShippedUnRarTest;
using Names = std::vector<std::wstring>;

namespace {

std::wstring Utf8(const std::string& s) {
    if (s.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

struct Entry {
    std::string name;     // UTF-8, '\' separators; folders end with '\'
    long size;            // -1 for folders
    std::string content;  // when not empty, found in the file
};

struct RealArchive {
    std::vector<std::wstring> parts;  // uuencoded samples; the first is the archive opened
    std::vector<Entry> entries;
    // Names not compared: symbolic links (created only where the platform lets them be)
    // and names the archive stores in a code page only (they depend on the system's).
    std::vector<std::wstring> unchecked;
};

const char kDocument[] = "test text document\r\n";
const char kFile[] = "test text file\r\n";

std::vector<std::wstring> Parts(const std::wstring& stem, const wchar_t* format, int count) {
    std::vector<std::wstring> parts;
    for (int i = 1; i <= count; ++i) {
        wchar_t number[16];
        std::swprintf(number, 16, format, i);
        parts.push_back(stem + number + L".rar.uu");
    }
    return parts;
}

class RealArchiveTest : public ShippedUnRarTest {
protected:
    // Unpacks every archive into a folder of its own and checks what arrived and the
    // progress it reported.
    void UnpackAll(const std::vector<RealArchive>& archives) {
        ProgressSink sink;
        const DWORD cookie = Connect(&sink);
        int n = 0;
        for (const RealArchive& a : archives) {
            std::wstring archive;
            for (const std::wstring& part : a.parts) {
                const std::wstring path = Sample(part);
                if (archive.empty()) archive = path;
            }
            const std::string label = Narrow(a.parts.front());
            const std::wstring dest = dir_ / (L"out" + std::to_wstring(++n));
            const size_t before = sink.values.size();
            EXPECT_HR(S_OK, Unpack(archive, dest)) << label;

            Names expected;
            for (const Entry& e : a.entries) expected.push_back(Utf8(e.name));
            std::sort(expected.begin(), expected.end());
            Names found = unrartest::Tree(dest);
            found.erase(std::remove_if(found.begin(), found.end(),
                                       [&](const std::wstring& f) {
                                           for (const std::wstring& prefix : a.unchecked)
                                               if (f.rfind(prefix, 0) == 0) return true;
                                           return false;
                                       }),
                        found.end());
            EXPECT_EQ(expected, found) << label;
            for (const Entry& e : a.entries) {
                if (e.size < 0) continue;
                const std::string data = harness::ReadFile(dest + L"\\" + Utf8(e.name));
                EXPECT_EQ(static_cast<size_t>(e.size), data.size()) << label << ": " << e.name;
                if (!e.content.empty())
                    EXPECT_NE(std::string::npos, data.find(e.content)) << label << ": " << e.name;
            }
            // Every archive completes the running progress of the process.
            if (sink.values.size() > before) EXPECT_EQ(100, sink.values.back()) << label;
            EXPECT_TRUE(std::is_sorted(sink.values.begin() + static_cast<long>(before), sink.values.end())) << label;
            EXPECT_EQ(100, Percent()) << label;
        }
        EXPECT_EQ(0, sink.malformed);
        Disconnect(cookie);
    }
};

}  // namespace

TEST_F(RealArchiveTest, Rar4ArchivesOfEveryKindUnpackByteExact) {
    const std::vector<Entry> html = {{"LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
                                     {"testdir\\", -1, ""},
                                     {"testdir\\LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
                                     {"testdir\\test.txt", 20, kDocument},
                                     {"testemptydir\\", -1, ""}};
    const std::vector<Entry> windows = {{"test.txt", 16, kFile},
                                        {"testdir\\", -1, ""},
                                        {"testdir\\test.txt", 16, kFile},
                                        {"testemptydir\\", -1, ""},
                                        {"testshortcut.lnk", 441, "L"}};
    UnpackAll({
        {{L"test_read_format_rar.rar.uu"},
         {{"test.txt", 20, kDocument}, {"testdir\\", -1, ""}, {"testdir\\test.txt", 20, kDocument},
          {"testemptydir\\", -1, ""}},
         {L"testlink"}},
        {{L"test_read_format_rar_subblock.rar.uu"}, {{"test.txt", 20, kDocument}}, {}},
        {{L"test_read_format_rar_noeof.rar.uu"}, {{"test.txt", 20, kDocument}}, {}},
        {{L"test_read_format_rar_compress_normal.rar.uu"}, html, {L"testlink"}},
        {{L"test_read_format_rar_compress_best.rar.uu"}, html, {L"testlink"}},
        {{L"test_read_format_rar_multi_lzss_blocks.rar.uu"}, {{"multi_lzss_blocks_test.txt", 20131111, ""}}, {}},
        {{L"test_read_format_rar_binary_data.rar.uu"},
         {{"LibarchiveAddingTest.odt", 32618, "PK"}, {"random_data.bin", 1048576, ""}},
         {}},
        {{L"test_read_format_rar_windows.rar.uu"}, windows, {}},
        {{L"test_read_format_rar_sfx.exe.uu"}, windows, {}},
        {{L"test_read_format_rar_filter.rar.uu"}, {{"bsdcat.exe", 204288, "MZ"}}, {}},
        // Unicode names (NFC), kept whole through the library's wide-name path.
        {{L"test_read_format_rar_unicode.rar.uu"},
         {{"\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88\\", -1, ""},
          {"\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88\\\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA9"
           "\xE3\x83\xAB\xE3\x83\x80\\",
           -1, ""},
          {"\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88\\\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA9"
           "\xE3\x83\xAB\xE3\x83\x80\\\xE6\x96\xB0\xE8\xA6\x8F\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 "
           "\xE3\x83\x89\xE3\x82\xAD\xE3\x83\xA5\xE3\x83\xA1\xE3\x83\xB3\xE3\x83\x88.txt",
           0, ""},
          {"\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88\\\xE6\xBC\xA2\xE5\xAD\x97\xE9\x95\xB7\xE3\x81\x84\xE3\x83\x95"
           "\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE5\x90\x8Dlong-filename-in-\xE6\xBC\xA2\xE5\xAD\x97.txt",
           5, "kanji"}},
         {L"abcdefghijklmnopqrs"}},
    });
}

TEST_F(RealArchiveTest, Rar5ArchivesOfEveryKindUnpackByteExact) {
    const std::vector<Entry> four = {{"test1.bin", 4096, ""}, {"test2.bin", 4096, ""}, {"test3.bin", 4096, ""},
                                     {"test4.bin", 4096, ""}};
    std::vector<Entry> seven = {{"test.bin", 1200, ""}};
    for (int i = 1; i <= 6; ++i) seven.push_back({"test" + std::to_string(i) + ".bin", 4096, ""});
    std::vector<Entry> win32 = seven;
    win32.push_back({"testdir\\", -1, ""});
    UnpackAll({
        {{L"test_read_format_rar5_stored.rar.uu"}, {{"helloworld.txt", 29, "hello libarchive test suite!\n"}}, {}},
        {{L"test_read_format_rar5_compressed.rar.uu"}, {{"test.bin", 1200, ""}}, {}},
        {{L"test_read_format_rar5_multiple_files.rar.uu"}, four, {}},
        {{L"test_read_format_rar5_multiple_files_solid.rar.uu"}, four, {}},
        {{L"test_read_format_rar5_solid.rar.uu"}, seven, {}},
        {{L"test_read_format_rar5_win32.rar.uu"}, win32, {}},
        {{L"test_read_format_rar5_stored_manyfiles.rar.uu"},
         {{"make_uue.tcl", 405, ""}, {"cebula.txt", 814, "Cebula"}, {"test.bin", 1200, ""}},
         {}},
        {{L"test_read_format_rar5_blake2.rar.uu"}, {{"cebula.txt", 814, "Cebula"}}, {}},
        {{L"test_read_format_rar5_arm.rar.uu"}, {{"elf-Linux-ARMv7-ls", 90808, "\x7F" "ELF"}}, {}},
        {{L"test_read_format_rar5_extra_field_version.rar.uu"},
         {{"bin\\", -1, ""}, {"bin\\2to3", 95, ""}, {"bin\\2to3;1", 95, ""}},
         {}},
        {{L"test_read_format_rar5_fileattr.rar.uu"},
         {{"dir_hidden\\", -1, ""}, {"dir_readonly\\", -1, ""}, {"dir_rohidden\\", -1, ""}, {"dir_system\\", -1, ""},
          {"hidden.txt", 11, ""}, {"readonly.txt", 11, ""}, {"ro_hidden.txt", 11, ""}, {"system.txt", 11, ""}},
         {}},
        {{L"test_read_format_rar5_owner.rar.uu"},
         {{"nobody.txt", 5, ""}, {"numeric.txt", 5, ""}, {"root.txt", 5, ""}},
         {}},
        {{L"test_read_format_rar5_hardlink.rar.uu"}, {{"file.txt", 5, "1234"}, {"hardlink.txt", 5, "1234"}}, {}},
        {{L"test_read_format_rar5_symlink.rar.uu"},
         {{"file.txt", 5, "1234"}, {"dir\\", -1, ""}},
         {L"symlink.txt", L"dirlink"}},
        {{L"test_read_format_rar5_sfx.exe.uu"}, {{"test.txt.txt", 3, "123"}}, {}},
    });
}

TEST_F(RealArchiveTest, VolumeSetsUnpackWholeAndAMissingPartFailsWithoutHanging) {
    const std::wstring rar = L"test_read_format_rar";
    const std::string bin = "home\\antek\\temp\\build\\unrar5\\libarchive\\bin\\";
    std::vector<Entry> deep;
    std::string folder;
    for (const char* part : {"home", "antek", "temp", "build", "unrar5", "libarchive", "bin"}) {
        folder += std::string(part) + "\\";
        deep.push_back({folder, -1, ""});
    }
    deep.push_back({bin + "bsdcat_test", 144608, "\x7F" "ELF"});
    deep.push_back({bin + "bsdtar_test", 365672, "\x7F" "ELF"});
    std::vector<Entry> uncompressed = {{"LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
                                       {"LibarchiveAddingTest2.html", 20111, "</BODY>\n</HTML>"},
                                       {"testdir\\", -1, ""},
                                       {"testdir\\LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
                                       {"testdir\\LibarchiveAddingTest2.html", 20111, "</BODY>\n</HTML>"},
                                       {"testdir\\testemptysubdir\\", -1, ""},
                                       {"testdir\\testsubdir\\", -1, ""},
                                       {"testdir\\testsubdir\\LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
                                       {"testdir\\testsubdir\\LibarchiveAddingTest2.html", 20111, "</BODY>\n</HTML>"},
                                       {"testemptydir\\", -1, ""}};
    std::vector<Entry> solid = {{"cebula.txt", 814, "Cebula"}, {"elf-Linux-ARMv7-ls", 90808, "\x7F" "ELF"},
                                {"test.bin", 1200, ""}};
    for (int i = 1; i <= 6; ++i) solid.push_back({"test" + std::to_string(i) + ".bin", 4096, ""});
    UnpackAll({
        // RAR 2.9/4: a 241 MB PPMd file across four volumes, new numbering.
        {Parts(rar + L"_multivolume.part", L"%04d", 4),
         {{"ppmd_lzss_conversion_test.txt", 241647978, ""},
          {"LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
          {"testdir\\", -1, ""},
          {"testdir\\test.txt", 20, kDocument},
          {"testdir\\LibarchiveAddingTest.html", 20111, "</BODY>\n</HTML>"},
          {"testemptydir\\", -1, ""}},
         {L"testlink"}},
        {Parts(L"test_rar_multivolume_single_file.part", L"%d", 3), {{"LibarchiveAddingTest.html", 20111, ""}}, {}},
        {Parts(L"test_rar_multivolume_multiple_files.part", L"%d", 6),
         {{"LibarchiveAddingTest.html", 20111, ""}, {"LibarchiveAddingTest2.html", 20111, ""}},
         {}},
        {Parts(L"test_rar_multivolume_uncompressed_files.part", L"%02d", 10), uncompressed, {}},
        // RAR 5, plain and solid.
        {Parts(rar + L"5_multiarchive.part", L"%02d", 8), deep, {}},
        {Parts(rar + L"5_multiarchive_solid.part", L"%02d", 4), solid, {}},
    });

    // A part missing in the middle or at the end: the library's request for it is
    // answered "stop", and the call fails instead of asking forever.
    harness::DebugCapture debug;
    for (int missing : {3, 8}) {
        for (const std::wstring& part : Parts(rar + L"5_multiarchive.part", L"%02d", 8)) Sample(part);
        wchar_t name[64];
        std::swprintf(name, 64, L"test_read_format_rar5_multiarchive.part%02d.rar", missing);
        ASSERT_TRUE(::DeleteFileW((dir_ / name).c_str()));
        const std::wstring archive = dir_ / L"test_read_format_rar5_multiarchive.part01.rar";
        const std::wstring dest = dir_ / (L"missing" + std::to_wstring(missing));
        const DWORD start = ::GetTickCount();
        EXPECT_HR(E_UNEXPECTED, Unpack(archive, dest)) << missing;
        EXPECT_LT(::GetTickCount() - start, 60000u) << missing;
        EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(archive) + "\n")) << missing;
        debug.Clear();
    }
}

TEST_F(RealArchiveTest, EncryptedArchivesFailWithoutAPasswordAndWithoutHanging) {
    // Data encrypted, headers encrypted, some files encrypted: no password is ever
    // given, so each call fails; nothing waits for an answer.
    for (const wchar_t* sample : {L"test_read_format_rar_encryption_data.rar.uu",
                                  L"test_read_format_rar_encryption_header.rar.uu",
                                  L"test_read_format_rar_encryption_partially.rar.uu"}) {
        harness::DebugCapture debug;
        const std::wstring archive = Sample(sample);
        const std::wstring dest = dir_ / (std::wstring(L"out_") + sample);
        EXPECT_HR(E_UNEXPECTED, Unpack(archive, dest)) << Narrow(sample);
        EXPECT_TRUE(debug.WaitFor("ERROR This rar file needs password\n")) << Narrow(sample);
        // Whatever was written is whole: no encrypted entry left behind as a file.
        for (const std::wstring& f : unrartest::Tree(dest)) {
            if (f.back() != L'\\') {
                EXPECT_EQ(std::string::npos, f.find(L"encrypted")) << Narrow(f);
            }
        }
    }
}

TEST_F(RealArchiveTest, DamagedAndCutArchivesFailAndStayInTheirFolder) {
    // libarchive's damaged and fuzzed samples: every one fails, none crashes or hangs.
    const wchar_t* damaged[] = {
        L"test_read_format_rar_invalid1.rar.uu",
        L"test_read_format_rar_overflow.rar.uu",
        L"test_read_format_rar_ppmd_use_after_free.rar.uu",
        L"test_read_format_rar_ppmd_use_after_free2.rar.uu",
        L"test_read_format_rar5_arm_filter_on_window_boundary.rar.uu",
        L"test_read_format_rar5_bad_window_sz_in_mltarc_file.rar.uu",
        L"test_read_format_rar5_block_size_is_too_small.rar.uu",
        L"test_read_format_rar5_decode_number_out_of_bounds_read.rar.uu",
        L"test_read_format_rar5_different_solid_window_size.rar.uu",
        L"test_read_format_rar5_different_window_size.rar.uu",
        L"test_read_format_rar5_different_winsize_on_merge.rar.uu",
        L"test_read_format_rar5_distance_overflow.rar.uu",
        L"test_read_format_rar5_invalid_dict_reference.rar.uu",
        L"test_read_format_rar5_leftshift1.rar.uu",
        L"test_read_format_rar5_leftshift2.rar.uu",
        L"test_read_format_rar5_nonempty_dir_stream.rar.uu",
        L"test_read_format_rar5_readtables_overflow.rar.uu",
        L"test_read_format_rar5_truncated_huff.rar.uu",
        L"test_read_format_rar5_window_buf_and_size_desync.rar.uu",
    };
    int n = 0;
    for (const wchar_t* sample : damaged) {
        const std::wstring dest = dir_ / (L"damaged" + std::to_wstring(++n));
        EXPECT_HR(E_UNEXPECTED, Unpack(Sample(sample), dest)) << Narrow(sample);
    }

    // A download cut short: within the marker, within the archive's own header, after it,
    // within the data of the first file, and of a later one.
    const std::string whole =
        unrartest::UuDecode(harness::ReadFile(harness::Join(harness::BinDir(), L"rarsamples\\test_read_format_rar_compress_normal.rar.uu")));
    ASSERT_GT(whole.size(), 4000u);
    for (size_t cut : {size_t{5}, size_t{15}, size_t{20}, size_t{60}, size_t{2000}, whole.size() - 2000}) {
        const std::wstring archive = dir_ / (L"cut" + std::to_wstring(cut) + L".rar");
        harness::WriteFile(archive, whole.substr(0, cut));
        EXPECT_HR(E_UNEXPECTED, Unpack(archive, dir_ / (L"cut" + std::to_wstring(cut)))) << cut;
    }

    // A damaged main header (its CRC no longer matches), RAR 4 and RAR 5.
    for (const wchar_t* sample : {L"test_read_format_rar.rar.uu", L"test_read_format_rar5_stored.rar.uu"}) {
        const std::wstring archive = Sample(sample, L"badmain.rar");
        std::string bytes = harness::ReadFile(archive);
        ASSERT_GT(bytes.size(), 16u);
        bytes[12] = static_cast<char>(bytes[12] ^ 0x5A);
        harness::WriteFile(archive, bytes);
        EXPECT_HR(E_UNEXPECTED, Unpack(archive, dir_ / L"badmain")) << Narrow(sample);
        EXPECT_TRUE(unrartest::Tree(dir_ / L"badmain").empty()) << Narrow(sample);
    }

    // Nothing of any of them outside its own folder.
    for (const std::wstring& f : unrartest::Tree(dir_.path())) {
        const bool own = f.rfind(L"damaged", 0) == 0 || f.rfind(L"cut", 0) == 0 || f.rfind(L"badmain", 0) == 0 ||
                         f.rfind(L"test_", 0) == 0 || f.rfind(L"bin\\", 0) == 0;
        EXPECT_TRUE(own) << Narrow(f);
    }
}
