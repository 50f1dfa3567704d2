// Entry names the unpacker refuses before the library is asked to extract them. The
// stand-in writes every entry at destination + stored name, as a careless extractor
// would, so whatever it is not asked to extract can't land anywhere.
#include <gtest/gtest.h>

#include <algorithm>

#include "UnRarFixture.h"

using harness::Narrow;
using unrartest::UnRarTest;
using Strings = std::vector<std::string>;

namespace {

// The extraction pass (the last reading of `name` in the call log) read the entry and
// asked for no extraction after it.
bool RefusedAfterReading(const Strings& log, const std::string& name) {
    auto last = std::find(log.rbegin(), log.rend(), "read " + name);
    if (last == log.rend()) return false;
    for (auto it = last.base(); it != log.end(); ++it)
        if (it->rfind("process 2 ", 0) == 0) return false;
    return log.back() == "close";
}

}  // namespace

TEST_F(UnRarTest, EscapingStreamAndDeviceNamesFailBeforeExtraction) {
    const std::string tag = "escape" + std::to_string(::GetCurrentProcessId());
    const std::string hostile[] = {
        "..\\" + tag,                  // beside the destination
        "sub/../../" + tag,            // out again through a folder, forward separators
        "sub\\.\\..\\..\\" + tag,      // with a "." on the way
        "...\\" + tag,                 // dots only: Windows trims "..." to ".."
        "\\" + tag,                    // rooted
        "/" + tag,                     // rooted, forward separator
        "\\\\?\\C:\\" + tag,           // device path
        "C:\\" + tag,                  // drive root
        "C:" + tag,                    // the drive's current folder
        tag + ":stream",               // alternate data stream
        "CON",                         // devices, any case, with extension or in a folder
        "sub\\nul.txt",
        "aux",
        "Com1.log",
        "sub/LPT9",
        "conout$",
        "bell\x07",                    // control character
        std::string(300, 'n'),         // longer than the header's field: can't be judged
    };
    harness::DebugCapture debug;
    for (size_t i = 0; i < sizeof hostile / sizeof hostile[0]; ++i) {
        const std::wstring n = std::to_wstring(i);
        const std::wstring dest = dir_ / (L"dest" + n);
        ASSERT_TRUE(::CreateDirectoryW(dest.c_str(), nullptr));
        const std::wstring arc = Archive(L"h" + n + L".rar", "file first 5\nfile " + hostile[i] + " 4\nfile last 4\n");
        EXPECT_HR(E_UNEXPECTED, Unpack(arc, dest)) << hostile[i];
        EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(arc) + "\n")) << hostile[i];
        EXPECT_TRUE(RefusedAfterReading(CallLog(arc), hostile[i])) << hostile[i];
        // What came before the refused entry stays.
        EXPECT_EQ((std::vector<std::wstring>{L"first"}), unrartest::Tree(dest)) << hostile[i];
    }
    for (const std::wstring& name : unrartest::Tree(dir_.path()))
        EXPECT_EQ(std::wstring::npos, name.find(harness::Widen(tag))) << Narrow(name);
    EXPECT_FALSE(harness::FileExists(L"C:\\" + harness::Widen(tag)));
}

TEST_F(UnRarTest, OrdinaryNamesThatMerelyLookOddAreExtracted) {
    // Dots inside names, names starting with dots, device names inside longer words,
    // doubled separators. ('?' for a character the code page lacks is covered with the
    // shipped library, whose headers carry such names.)
    const std::string names[] = {"a..b.txt", ".config", "..data", "sub\\console.txt", "com10.bin", "lpt.txt",
                                 "nul_", "dir\\\\double.txt", "x\\..y", "conin"};
    std::string script = "dir sub\ndir dir\ndir x\n";
    for (const std::string& name : names) script += "file " + name + " 3\n";
    const std::wstring arc = Archive(L"odd.rar", script);
    const std::wstring dest = dir_ / L"odd";
    ASSERT_TRUE(::CreateDirectoryW(dest.c_str(), nullptr));
    EXPECT_HR(S_OK, Unpack(arc, dest));
    EXPECT_EQ((std::vector<std::wstring>{L"..data", L".config", L"a..b.txt", L"com10.bin", L"conin", L"dir\\",
                                         L"dir\\double.txt", L"lpt.txt", L"nul_", L"sub\\", L"sub\\console.txt",
                                         L"x\\", L"x\\..y"}),
              unrartest::Tree(dest));
}
