#pragma once
// A scratch installer folder for the offer wrapper: the current directory becomes a
// TempDir whose bin\OCSetupHlp.dll is a stand-in for the offer library, its answers
// chosen through this process's environment and its calls recorded in a log file.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Harness.h"
#include "dialog/offer/Candy.h"
#include "dialog/offer/OfferOwner.h"

namespace offertest {

// A top-level window of the test thread standing for the installer window: it makes a
// 470 x 228 placeholder child at (20, 30) and counts what the wrapper asked of it.
class TestOwner : public stagehand::OfferOwner {
public:
    TestOwner();
    ~TestOwner();
    HWND CreateOfferPlaceholder() override;
    void DestroyOfferPlaceholder() override;
    // Destroys the windows (before the library that drew into them goes away).
    void Close();

    HWND frame = nullptr;
    HWND placeholder = nullptr;
    int created = 0;
    int destroyed = 0;
    // When set, CreateOfferPlaceholder fails.
    bool refuse = false;
};

class OfferTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the stand-in `variant` (a library of the bin folder, without ".dll") at
    // bin\OCSetupHlp.dll below the current folder.
    void InstallLibrary(const wchar_t* variant = L"offer_standin");
    // Sets (or, with null, removes) one of the stand-in's answers.
    static void Answer(const char* name, const char* value);
    // The stand-in's calls, "Name(arguments) -> result[ extra]", without the thread.
    std::vector<std::string> Calls();
    // The threads the calls came on, in order.
    std::vector<DWORD> CallThreads();
    void ClearCalls();
    // Whether the library at bin\OCSetupHlp.dll is loaded in this process.
    bool LibraryLoaded() const;
    // Where the wrapper looks for the library when given no path.
    std::wstring LibraryPath() const { return dir_ / L"bin\\OCSetupHlp.dll"; }
    // The wrapper with the usual options ("Pub", "Key", "Sec", "en", advanced) set.
    void SetOptions(const wchar_t* advanced = L"");
    // Initialize with the given path (empty: the default place).
    bool Initialize(const wchar_t* path = L"");
    // Occurrences of `text` in the debug output captured so far.
    size_t DebugCount(const std::string& text);
    // Waits until `text` has appeared `count` times in the debug output.
    bool WaitCount(const std::string& text, size_t count);
    // Waits until the last debug fragment is `text`.
    bool WaitLast(const std::string& text);
    // Waits until `text` appears in the debug output, then all of it.
    std::string DebugUntil(const std::string& text);

    harness::TempDir dir_{L"offer"};
    std::wstring savedCwd_;
    std::unique_ptr<harness::DebugCapture> debug_;
    std::unique_ptr<TestOwner> owner_;
    std::unique_ptr<stagehand::Candy> candy_;
};

// Lines of `all` that contain `needle`.
std::vector<std::string> Matching(const std::vector<std::string>& all, const std::string& needle);

}  // namespace offertest
