// StartGoogleChrome late-bound by ProgID: the registered open command, the started
// process and the wait for the browser's main window, with a stand-in browser.
#include <gtest/gtest.h>

#include "BrowserStandIn.h"
#include "Harness.h"

namespace {

const wchar_t kProgId[] = L"browserprobe.ChromeCompatibilityChecker";

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Started {
    HRESULT hr;
    DWORD elapsedMs;
};

Started CallStart() {
    auto obj = harness::Create(kProgId);
    EXPECT_TRUE(obj);
    if (!obj) return {E_FAIL, 0};
    const DWORD start = ::GetTickCount();
    HRESULT hr = harness::Call(obj.get(), L"StartGoogleChrome", {});
    return {hr, ::GetTickCount() - start};
}

// dir + "\" + ".\" repeated + name, at least `length` characters long: a longer
// spelling of the same file.
std::wstring PaddedPath(const std::wstring& dir, const std::wstring& name, size_t length) {
    std::wstring path = dir + L"\\";
    while (path.size() + name.size() < length) path += L".\\";
    return path + name;
}

class StartBrowser : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(BrowserStandIn::WindowExists()) << "a browser window is left over"; }
    BrowserStandIn browser;
};

}  // namespace

TEST_F(StartBrowser, WithoutRegistrationNothingIsStarted) {
    Started s = CallStart();
    EXPECT_HR(S_FALSE, s.hr);
    EXPECT_LT(s.elapsedMs, 1000u);
}

TEST_F(StartBrowser, CommandWithoutAQuotedPathStartsNothing) {
    const std::wstring path = browser.Install(L"chrome.exe");
    for (const std::wstring& command : {path, path + L" --new-window", L"\"" + path, path + L"\"", std::wstring()}) {
        SCOPED_TRACE(harness::Narrow(command));
        browser.Register(command);
        EXPECT_HR(S_FALSE, CallStart().hr);
    }
    ::Sleep(500);
    EXPECT_TRUE(browser.Log().empty()) << "no browser was started";
}

TEST_F(StartBrowser, QuotedPathWithArgumentsStartsOnlyThePath) {
    const std::wstring path = browser.Install(L"chrome.exe");
    browser.WindowAfter(0);
    browser.Register(L"\"" + path + L"\" --new-window \"%1\"");
    Started s = CallStart();
    EXPECT_HR(S_OK, s.hr);
    ASSERT_TRUE(browser.WaitForLine("window", 5000));
    EXPECT_EQ((std::vector<std::string>{"\"" + harness::Narrow(path) + "\""}), browser.Values("cmdline"))
        << "the quoted path, no arguments";
    ASSERT_EQ(1u, browser.Values("module").size());
    EXPECT_EQ(Lower(harness::Narrow(path)), Lower(browser.Values("module")[0]));
}

TEST_F(StartBrowser, PathWithSpacesStartsThatVeryFile) {
    // A program named after the part of the path before the space must not be started.
    const std::wstring decoy = browser.Install(L"my.exe");
    const std::wstring path = browser.Install(L"my browser\\chrome.exe");
    browser.WindowAfter(0);
    browser.Register(L"\"" + path + L"\"");
    EXPECT_HR(S_OK, CallStart().hr);
    ASSERT_TRUE(browser.WaitForLine("window", 5000));
    ASSERT_EQ(1u, browser.Values("module").size());
    EXPECT_EQ(Lower(harness::Narrow(path)), Lower(browser.Values("module")[0]));
    EXPECT_EQ((std::vector<std::string>{"\"" + harness::Narrow(path) + "\""}), browser.Values("cmdline"));
    EXPECT_EQ((std::vector<std::string>{"1"}), browser.Values("argc")) << "the path arrives as one argument";
}

TEST_F(StartBrowser, PathThatDoesNotFitAPathBufferStartsNothing) {
    browser.Install(L"chrome.exe");
    browser.WindowAfter(0);
    // The same file spelled in 250 characters starts...
    const std::wstring fits = PaddedPath(browser.Dir().path(), L"chrome.exe", 250);
    ASSERT_LT(fits.size(), static_cast<size_t>(MAX_PATH));
    browser.Register(L"\"" + fits + L"\" --flag");
    EXPECT_HR(S_OK, CallStart().hr);
    ASSERT_TRUE(browser.WaitForLine("window", 5000));
    EXPECT_EQ(1u, browser.Values("pid").size());
    // ...and spelled in 260 or more it is refused.
    for (size_t length : {static_cast<size_t>(MAX_PATH), static_cast<size_t>(400)}) {
        const std::wstring tooLong = PaddedPath(browser.Dir().path(), L"chrome.exe", length);
        ASSERT_GE(tooLong.size(), static_cast<size_t>(MAX_PATH));
        browser.Register(L"\"" + tooLong + L"\"");
        Started s = CallStart();
        EXPECT_HR(S_FALSE, s.hr);
        EXPECT_LT(s.elapsedMs, 1000u);
    }
    ::Sleep(500);
    EXPECT_EQ(1u, browser.Values("pid").size()) << "only the fitting path was started";
}

TEST_F(StartBrowser, FailedStartGivesFalse) {
    browser.Register(L"\"" + (browser.Dir() / L"missing.exe") + L"\" --flag");
    Started s = CallStart();
    EXPECT_HR(S_FALSE, s.hr);
    EXPECT_LT(s.elapsedMs, 1000u);
    browser.Register(L"\"\" --flag");
    EXPECT_HR(S_FALSE, CallStart().hr);
}

TEST_F(StartBrowser, ReturnsSoonAfterTheWindowAppears) {
    const std::wstring path = browser.Install(L"chrome.exe");
    browser.WindowAfter(1500);
    browser.Register(L"\"" + path + L"\"");
    Started s = CallStart();
    EXPECT_HR(S_OK, s.hr);
    EXPECT_TRUE(BrowserStandIn::WindowExists());
    EXPECT_TRUE(browser.WaitForLine("window", 1000));
    // Looked for once a second: found at the lookup after the window opened, well
    // before the five seconds of a window that never comes.
    EXPECT_GE(s.elapsedMs, 1400u);
    EXPECT_LT(s.elapsedMs, 4500u);
}

TEST_F(StartBrowser, GivesUpAfterFiveSecondsWithoutAWindow) {
    const std::wstring path = browser.Install(L"chrome.exe");
    browser.NoWindow();
    browser.Register(L"\"" + path + L"\"");
    Started s = CallStart();
    EXPECT_HR(S_OK, s.hr) << "the result doesn't depend on the window";
    EXPECT_GE(s.elapsedMs, 4900u);
    EXPECT_LT(s.elapsedMs, 8000u);
    EXPECT_EQ(1u, browser.Values("pid").size()) << "the browser was started";
    EXPECT_FALSE(BrowserStandIn::WindowExists());
}
