// Unpack's failures: what the debug output says and what the call returns.
#include <gtest/gtest.h>

#include <algorithm>

#include "UnRarFixture.h"

using harness::Narrow;
using unrartest::ProgressSink;
using unrartest::UnRarTest;
using Strings = std::vector<std::string>;

TEST_F(UnRarTest, MissingArchiveIsUnexpected) {
    harness::DebugCapture debug;
    std::wstring arc = dir_ / L"absent.rar";
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("UnRar Error\n"));
    std::string text = debug.Text();
    EXPECT_NE(std::string::npos, text.find("Unpacking " + Narrow(arc) + Narrow(dir_.path()) + "\n"));
    EXPECT_EQ(std::string::npos, text.find("ERROR processing"));
    // Both passes tried to open it; nothing else was called.
    EXPECT_EQ((Strings{"open 0 clean", "open 1 clean"}), CallLog(arc));
}

TEST_F(UnRarTest, ExtractionOpenFailureIsUnexpected) {
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"e.rar", "openfail extract\nfile a 10\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("UnRar Error\n"));
    EXPECT_FALSE(harness::FileExists(dir_ / L"a"));
}

TEST_F(UnRarTest, MissingLibraryReportsModuleNotFound) {
    ASSERT_TRUE(::DeleteFileW((dir_ / L"bin\\UnRAR.dll").c_str()));
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"a.rar", "file a 10\n");
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Failed to find UnRar exported functions7e"));
    EXPECT_EQ(std::string::npos, debug.Text().find("UnRar Error"));
    EXPECT_FALSE(harness::FileExists(arc + L".log"));
    EXPECT_FALSE(harness::FileExists(dir_ / L"a"));
}

TEST_F(UnRarTest, LibraryComesFromTheCurrentFolderNeverFromTheSearchPath) {
    // A library planted under the same relative name in a folder of PATH, which the DLL
    // search order of a relative path would reach.
    harness::TempDir planted(L"planted");
    ASSERT_TRUE(::CreateDirectoryW((planted / L"bin").c_str(), nullptr));
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"unrar_standin.dll"), planted / L"bin\\UnRAR.dll");
    std::vector<wchar_t> path(32767);
    const DWORD n = ::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size()));
    ASSERT_TRUE(n > 0 && n < path.size());
    const std::wstring savedPath(path.data(), n);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"PATH", (planted.path() + L";" + savedPath).c_str()));
    ASSERT_TRUE(::DeleteFileW((dir_ / L"bin\\UnRAR.dll").c_str()));

    std::wstring arc = Archive(L"a.rar", "file a 10\n");
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), Unpack(arc, dir_.path()));
    EXPECT_FALSE(harness::FileExists(arc + L".log")) << "the planted library was called";
    EXPECT_FALSE(harness::FileExists(dir_ / L"a"));

    // The installer's own copy is used, found through the current folder as before.
    InstallLibrary(L"unrar_standin.dll");
    EXPECT_HR(S_OK, Unpack(arc, dir_.path()));
    EXPECT_EQ(10u, harness::ReadFile(dir_ / L"a").size());
    ::SetEnvironmentVariableW(L"PATH", savedPath.c_str());
}

TEST_F(UnRarTest, MissingEntryPointReportsProcNotFound) {
    InstallLibrary(L"unrar_standin_noproc.dll");
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"a.rar", "file a 10\n");
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Failed to find UnRar exported functions7f"));
    EXPECT_FALSE(harness::FileExists(arc + L".log"));
    EXPECT_EQ(nullptr, ::GetModuleHandleW(L"UnRAR.dll"));
}

TEST_F(UnRarTest, FailedEntryStopsTheWalkAndKeepsEarlierFiles) {
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"f.rar", "file a 10\nfile b 10 extractfail\nfile c 10\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(arc) + "\n"));
    EXPECT_EQ(10u, harness::ReadFile(dir_ / L"a").size());
    EXPECT_FALSE(harness::FileExists(dir_ / L"c"));
    Strings log = CallLog(arc);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("close", log.back());
    auto extraction = std::find(log.begin(), log.end(), "open 1 clean");
    EXPECT_NE(log.end(), extraction);
    EXPECT_EQ(log.end(), std::find(extraction, log.end(), "read c"));
}

TEST_F(UnRarTest, PasswordIsNeverSupplied) {
    harness::DebugCapture debug;
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    // Volume and wide password messages fire no event; the password request is logged
    // and answered with "go on" but no password, so the entry fails.
    std::wstring arc = Archive(L"p.rar", "file p 10 notify=0,3,4 password\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Unrar fatal error "));
    std::string text = debug.Text();
    EXPECT_NE(std::string::npos, text.find("ERROR This rar file needs password\n"));
    Strings log = CallLog(arc);
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "password answer=0 given=no"));
    EXPECT_TRUE(sink.values.empty());
    Disconnect(cookie);
}

TEST_F(UnRarTest, UnreadableHeaderFailsTheCallAndKeepsEarlierFiles) {
    // What follows an unreadable header was never unpacked: not a success.
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"h.rar", "file a 10\nbadheader\nfile c 10\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(arc) + "\n"));
    EXPECT_EQ(10u, harness::ReadFile(dir_ / L"a").size());
    EXPECT_FALSE(harness::FileExists(dir_ / L"c"));
    EXPECT_EQ("close", CallLog(arc).back());
}

TEST_F(UnRarTest, ArchiveWithoutAnyEntryFails) {
    // What a download cut short after the archive's own header reads like.
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"none.rar", "# no entries\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("Unrar fatal error " + Narrow(arc) + "\n"));
    EXPECT_EQ((Strings{"open 0 clean", "read end", "close", "open 1 clean", "callback set user", "read end", "close"}),
              CallLog(arc));
}

TEST_F(UnRarTest, MissingVolumeIsAnsweredWithStopAndNotifiedVolumesGoOn) {
    // Asked for a volume that can't be found, the unpacker says stop once instead of
    // letting the library ask again and again; a volume change it is only told of goes on.
    std::wstring arc = Archive(L"v.rar", "file a 10 volume=notify\nfile b 10 volume=ask\nfile c 10\n");
    EXPECT_HR(E_UNEXPECTED, Unpack(arc, dir_.path()));
    EXPECT_EQ(10u, harness::ReadFile(dir_ / L"a").size());
    EXPECT_FALSE(harness::FileExists(dir_ / L"b"));
    EXPECT_FALSE(harness::FileExists(dir_ / L"c"));
    Strings log = CallLog(arc);
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "volume notify answer=0"));
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "volume ask answer=-1"));
    EXPECT_EQ(0, std::count(log.begin(), log.end(), "volume ask answer=0"));
}

TEST_F(UnRarTest, LongPathsAreNotCutShort) {
    // Well beyond the platform's 260-character path limit: passed on whole.
    std::wstring name(300, L'n');
    std::wstring arc = dir_ / (name + L".rar");
    harness::DebugCapture debug;
    EXPECT_HR(E_UNEXPECTED, Unpack(L"\\\\?\\" + arc, L"\\\\?\\" + (dir_ / name)));
    EXPECT_TRUE(debug.WaitFor("UnRar Error\n"));
    EXPECT_NE(std::string::npos, debug.Text().find(Narrow(name) + ".rar\\\\?\\"));
}
