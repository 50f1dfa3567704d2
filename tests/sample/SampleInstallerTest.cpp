// The sample installer run by its launcher as a user runs it, headless under Wine with
// the page player in the WebBrowser's place: the user closing the window, and a damaged
// game package.
#include <gtest/gtest.h>

#include "RarWriter.h"
#include "SamplePackage.h"

using sampletest::SamplePackage;

namespace {

// Generous: every Wine process start is slow under the user-mode emulator.
constexpr DWORD kPageTimeoutMs = 240000;
constexpr DWORD kEndTimeoutMs = 240000;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(SampleInstaller, TheUserClosesTheWindowAndConfirms) {
    SamplePackage package;
    harness::BoxAnswerer answers(IDNO, harness::BoxAnswerer::kOwnProcessTree);
    package.Start(L"");  // no autoplay: the welcome page waits for the user
    HWND window = package.WaitForPage(L"Welcome to the Sample Game installer", kPageTimeoutMs);
    ASSERT_NE(nullptr, window) << package.StepLog();

    // First the user thinks better of it: the installation goes on, the window stays.
    SamplePackage::PressCloseButton(window);
    ASSERT_TRUE(answers.WaitForBox(kPageTimeoutMs)) << package.StepLog();
    const DWORD start = ::GetTickCount();
    while (!Contains(package.StepLog(), "the user chose to go on") && ::GetTickCount() - start < kPageTimeoutMs)
        ::Sleep(200);
    EXPECT_TRUE(Contains(package.StepLog(), "the user chose to go on")) << package.StepLog();
    EXPECT_TRUE(::IsWindowVisible(window));

    // Then for real.
    answers.SetButton(IDYES);
    SamplePackage::PressCloseButton(window);
    DWORD exitCode = 1;
    ASSERT_TRUE(package.Wait(kEndTimeoutMs, &exitCode)) << package.StepLog();
    EXPECT_EQ(0u, exitCode);  // the launcher's own checks passed

    const std::vector<harness::SeenBox> boxes = answers.Seen();
    ASSERT_EQ(2u, boxes.size());
    for (const auto& box : boxes) {
        EXPECT_EQ(L"Really cancel installation?", box.text);
        EXPECT_EQ(L"Game Installer", box.caption);
        EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
    }
    const std::string log = package.StepLog();
    EXPECT_TRUE(Contains(log, "cancelled by the user")) << log;
    EXPECT_TRUE(Contains(log, "installation cancelled")) << log;
    EXPECT_FALSE(Contains(log, "FAILED")) << log;
    EXPECT_FALSE(Contains(log, "step 5/12")) << log;  // nothing was installed
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(harness::DirExists(SamplePackage::GameFolder()));
}

TEST(SampleInstaller, ADamagedPackageShowsTheErrorAndLeavesNoFiles) {
    SamplePackage package;
    // The real payload with one byte of its last level file changed: the files before
    // it unpack, that one fails its checksum.
    std::string archive = harness::ReadFile(package / L"game.rar");
    const size_t level = archive.find("data\\level5.dat");
    ASSERT_NE(std::string::npos, level);
    const size_t damaged = level + 4096;
    ASSERT_LT(damaged, archive.size());
    archive[damaged] = static_cast<char>(archive[damaged] ^ 0x5A);
    harness::WriteFile(package / L"game.rar", archive);

    harness::BoxAnswerer answers(IDOK, harness::BoxAnswerer::kOwnProcessTree);
    package.Start(L"--autoplay");
    DWORD exitCode = 1;
    ASSERT_TRUE(package.Wait(kEndTimeoutMs * 2, &exitCode)) << package.StepLog();
    EXPECT_EQ(0u, exitCode);

    const std::vector<harness::SeenBox> boxes = answers.Seen();
    ASSERT_EQ(1u, boxes.size()) << package.StepLog();
    EXPECT_EQ(L"Invalid game package. Please re-download the package and run when prompted or save with the file "
              L"name provided.",
              boxes[0].text);
    EXPECT_EQ(L"Game Installer", boxes[0].caption);

    const std::string log = package.StepLog();
    EXPECT_TRUE(Contains(log, "step 5/12: installing game files")) << log;
    EXPECT_TRUE(Contains(log, "FAILED: unpacking game.rar failed")) << log;
    EXPECT_TRUE(Contains(log, "rolled back")) << log;
    EXPECT_FALSE(Contains(log, "step 6/12")) << log;
    // Not one file of the game stays, nor the registry entries of a later step.
    EXPECT_FALSE(harness::DirExists(SamplePackage::GameFolder()));
    EXPECT_FALSE(harness::KeyExists(HKEY_LOCAL_MACHINE, SamplePackage::kUninstallKey));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L".sgsave"));
}
