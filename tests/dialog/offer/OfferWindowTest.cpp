// The offer as the installer meets it: the engine's six offer methods called late-bound on
// the singleton "Stagehand.InstallDlgCtl", and an offer page playing in the installer
// window (the page player under the WebBrowser's class id) that calls "showoffer",
// "hideoffer" and "checkoffer" through window.external. The offer library is the
// stand-in, at bin\OCSetupHlp.dll below a scratch current folder. Each case runs in a
// process of its own: the control is a singleton, and its one wrapper keeps its library.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "Harness.h"
#include "WindowTestSupport.h"
#include "common/Handle.h"
#include "dialog/browser/AxHostWindow.h"
#include "dialog/window/WindowClassNames.h"

using harness::AsBool;
using harness::CallOk;
using harness::Str;

namespace {

const char kOfferPage[] = R"(<html><head><title>Partner offer</title>
<script type="text/javascript">
function show(x, y) { window.external.showoffer(x, y); }
function showAt(y) { window.external.ShowOffer(y); }
function hide() { window.external.hideoffer(); }
function check() { document.title = window.external.checkoffer() ? "may leave" : "stay"; }
</script></head>
<body><p>Would you like our partner's software too?</p></body></html>
)";

struct LibraryCall {
    std::string text;  // "Name(arguments) -> result[ extra]"
    DWORD thread = 0;
};

// A scratch installer folder as the current folder: bin\OCSetupHlp.dll is the stand-in,
// whose calls and the page player's events are logged there.
class InstallerFolder {
public:
    InstallerFolder() {
        wchar_t cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, cwd);
        saved_ = cwd;
        ::CreateDirectoryW((dir_ / L"bin").c_str(), nullptr);
        harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"offer_standin.dll"), LibraryPath());
        ::SetCurrentDirectoryW(dir_.path().c_str());
        ::SetEnvironmentVariableW(L"OFFER_STANDIN_LOG", (dir_ / L"calls.log").c_str());
        ::SetEnvironmentVariableW(L"PAGEPLAYER_LOG", (dir_ / L"pages.log").c_str());
    }
    ~InstallerFolder() { ::SetCurrentDirectoryW(saved_.c_str()); }

    std::wstring LibraryPath() const { return dir_ / L"bin\\OCSetupHlp.dll"; }
    std::wstring WritePage(const std::wstring& name, const std::string& html) const {
        harness::WriteFile(dir_ / name, html);
        return dir_ / name;
    }
    std::vector<LibraryCall> Calls() const {
        std::vector<LibraryCall> calls;
        std::istringstream in(harness::ReadFile(dir_ / L"calls.log"));
        std::string line;
        while (std::getline(in, line)) {
            size_t at = line.rfind(" thread=");
            if (at == std::string::npos) continue;
            calls.push_back({line.substr(0, at), std::stoul(line.substr(at + 8))});
        }
        return calls;
    }
    // The page's window.external calls with their results, "name(arguments) 0x<hr> result".
    std::vector<std::string> PageCalls() const {
        std::vector<std::string> calls;
        std::istringstream in(harness::ReadFile(dir_ / L"pages.log"));
        std::string line;
        const std::string kind = " external ";
        while (std::getline(in, line)) {
            size_t at = line.find(kind);
            if (at != std::string::npos) calls.push_back(line.substr(at + kind.size()));
        }
        return calls;
    }

private:
    harness::TempDir dir_{L"offerwin"};
    std::wstring saved_;
};

std::vector<std::string> Texts(const std::vector<LibraryCall>& calls, size_t from = 0) {
    std::vector<std::string> texts;
    for (size_t i = from; i < calls.size(); ++i) texts.push_back(calls[i].text);
    return texts;
}

std::string HandleText(HWND hwnd) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(hwnd));
    return buf;
}

bool Visible(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
    return n;
}

BOOL CALLBACK FindPlaceholder(HWND hwnd, LPARAM found) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) != stagehand::kOfferPlaceholderClass) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

HWND Placeholder(HWND frame) {
    HWND found = nullptr;
    ::EnumChildWindows(frame, FindPlaceholder, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Windows inside the browser's own window, the way a browser nests its views: first a
// child with another identifier holding one with the host's identifier 0, then a chain
// of two with identifier 0. They live on a thread of their own that keeps serving them.
class NestedViews {
public:
    explicit NestedViews(HWND browserWindow) : parent_(browserWindow) {
        ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        thread_.reset(::CreateThread(nullptr, 0, Run, this, 0, &threadId_));
        ::WaitForSingleObject(ready_.get(), 10000);
    }
    ~NestedViews() {
        ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        ::WaitForSingleObject(thread_.get(), 10000);
    }
    HWND deepest = nullptr;  // where the offer belongs

private:
    static DWORD WINAPI Run(void* self) {
        auto* views = static_cast<NestedViews*>(self);
        RECT r = {};
        ::GetClientRect(views->parent_, &r);
        auto make = [&](HWND parent, int id) {
            return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        };
        HWND other = make(views->parent_, 7);
        make(other, 0);
        HWND outer = make(views->parent_, 0);
        views->deepest = make(outer, 0);
        ::SetEvent(views->ready_.get());
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        ::DestroyWindow(outer);
        ::DestroyWindow(other);
        return 0;
    }

    HWND parent_;
    common::UniqueHandle ready_, thread_;
    DWORD threadId_ = 0;
};

void CallPage(IDispatch* control, const wchar_t* function, const wchar_t* argument) {
    CallOk(control, L"CallJSFunction", {Str(function), Str(argument), Str(L"main")});
}

void SetOptions(IDispatch* control, const wchar_t* advanced) {
    CallOk(control, L"SetCandyOptions", {Str(L"Pub"), Str(L"Key"), Str(L"Sec"), Str(L"en"), Str(advanced)});
}

}  // namespace

OWN_PROCESS_SUITE(OfferWindow);

// The page shows the offer in a placeholder centred in the browser area, hides it, shows
// it again and may leave only when the library lets the user go; the engine then asks
// for the choice and installs the offer once. Page calls reach the library on the UI
// thread, the engine's calls on its own.
OWN_PROCESS_TEST(OfferWindow, PageShowsChecksAndTheEngineInstalls) {
    InstallerFolder folder;
    harness::DebugCapture debug;
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    SetOptions(control.get(), L"");
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"InitializeCandy").get()));  // no path: bin\ of the current folder
    ASSERT_TRUE(debug.WaitFor("Candy::Initialize(" + harness::Narrow(folder.LibraryPath()) + ") returned 0\n"));

    ASSERT_HR(S_OK, harness::CallScode(control.get(), L"Create", {harness::UI4(800), harness::UI4(600), harness::UI4(0)}));
    HWND frame = wintest::InstallerWindow();
    ASSERT_NE(nullptr, frame);
    const DWORD uiThread = ::GetWindowThreadProcessId(frame, nullptr);
    CallOk(control.get(), L"Navigate", {Str(folder.WritePage(L"offer.html", kOfferPage))});
    HWND host = ::FindWindowExW(frame, nullptr, stagehand::kAxHostWindowClass, nullptr);
    ASSERT_NE(nullptr, host);
    HWND browserWindow = ::GetWindow(host, GW_CHILD);
    ASSERT_NE(nullptr, browserWindow);
    NestedViews views(browserWindow);
    ASSERT_NE(nullptr, views.deepest);

    // Nothing placed yet: the page may leave even while the library would hold the user.
    ::SetEnvironmentVariableA("OFFER_STANDIN_CAN_LEAVE", "0");
    CallPage(control.get(), L"check", L"");
    size_t before = folder.Calls().size();

    // show(0, 0): the dialog runs where the library likes, in a new placeholder.
    CallPage(control.get(), L"show", L"0, 0");
    HWND placeholder = Placeholder(frame);
    ASSERT_NE(nullptr, placeholder);
    EXPECT_EQ(views.deepest, ::GetParent(placeholder));
    RECT area = {}, place = {};
    ::GetClientRect(host, &area);
    ::GetWindowRect(placeholder, &place);
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ((area.right - 470) / 2, place.left);
    EXPECT_EQ((area.bottom - 228) / 2, place.top);
    EXPECT_EQ(470, place.right - place.left);
    EXPECT_EQ(228, place.bottom - place.top);
    EXPECT_TRUE(Visible(placeholder));
    HWND dialog = ::FindWindowExW(placeholder, nullptr, L"OfferStandInDialog", nullptr);
    EXPECT_NE(nullptr, dialog);
    std::vector<LibraryCall> calls = folder.Calls();
    ASSERT_EQ(before + 1, calls.size());
    EXPECT_EQ(0u, calls.back().text.find("RunDialog(" + HandleText(placeholder) + ") -> 0"));
    EXPECT_EQ(uiThread, calls.back().thread);

    // The user has not chosen: the page stays; hiding and showing again reuse the dialog.
    CallPage(control.get(), L"check", L"");
    EXPECT_TRUE(::IsWindow(placeholder));
    CallPage(control.get(), L"hide", L"");
    EXPECT_FALSE(Visible(placeholder));
    CallPage(control.get(), L"showAt", L"5");
    EXPECT_TRUE(Visible(placeholder));
    EXPECT_EQ(placeholder, Placeholder(frame));
    EXPECT_EQ(dialog, ::FindWindowExW(placeholder, nullptr, L"OfferStandInDialog", nullptr));
    calls = folder.Calls();
    for (size_t i = before + 1; i < calls.size(); ++i) {
        EXPECT_EQ(std::string::npos, calls[i].text.find("RunDialog")) << calls[i].text;
        EXPECT_EQ(std::string::npos, calls[i].text.find("NSISAdjust")) << calls[i].text;
    }

    // The user may leave: the library lets go and the placeholder goes.
    ::SetEnvironmentVariableA("OFFER_STANDIN_CAN_LEAVE", "1");
    before = folder.Calls().size();
    CallPage(control.get(), L"check", L"");
    EXPECT_FALSE(::IsWindow(placeholder));
    calls = folder.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("Detach() -> 0", calls.back().text);
    EXPECT_EQ(uiThread, calls.back().thread);

    // A new offer place at a position the page gives: the library moves its dialog first.
    before = calls.size();
    CallPage(control.get(), L"show", L"10, 0");
    HWND second = Placeholder(frame);
    ASSERT_NE(nullptr, second);
    calls = folder.Calls();
    ASSERT_EQ(before + 2, calls.size());
    EXPECT_EQ("NSISAdjust(" + HandleText(second) + ",10,0,470,228) -> 0", calls[before].text);
    EXPECT_EQ(0u, calls[before + 1].text.find("RunDialog(" + HandleText(second) + ")"));

    EXPECT_EQ((std::vector<std::string>{"checkoffer() 0x00000000 true", "showoffer(0, 0) 0x00000000 false",
                                        "checkoffer() 0x00000000 false", "hideoffer() 0x00000000",
                                        "ShowOffer(5) 0x00000000 false", "checkoffer() 0x00000000 true",
                                        "showoffer(10, 0) 0x00000000 false"}),
              folder.PageCalls());

    // The engine: the user accepted; the offer is installed once, and not aborted after.
    ::SetEnvironmentVariableA("OFFER_STANDIN_STATE", "1");
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"CandyChosen").get()));
    before = folder.Calls().size();
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"InstallOffer").get()));
    calls = folder.Calls();
    EXPECT_EQ((std::vector<std::string>{"GetAsyncOfferStatus(1) -> 0", "CanLeaveOfferPage() -> 1",
                                        "GetOfferType() -> 1", "PrepareDownload() -> 0", "GetOfferState() -> 1",
                                        "StartDLMgr2Download() -> 0", "SignalProductInstalled() -> 0",
                                        "Detach() -> 0", "Shutdown() -> 0"}),
              Texts(calls, before));
    for (size_t i = before; i < calls.size(); ++i) EXPECT_EQ(::GetCurrentThreadId(), calls[i].thread);
    before = calls.size();
    EXPECT_FALSE(AsBool(*CallOk(control.get(), L"InstallOffer").get()));
    CallOk(control.get(), L"AbortOfferInstall");
    EXPECT_EQ(before, folder.Calls().size());

    ASSERT_TRUE(debug.WaitFor("Candy::InstallOffer called - but no offer or alreadyInstalled\n"));
    std::string text = debug.Text();
    EXPECT_NE(std::string::npos, text.find("Candy::ShowOffer called - show offer at x: 0 y: 0 Returned: 0x1"));
    EXPECT_NE(std::string::npos, text.find("Candy::ShowOffer recalled - show existing offer\n"));
    EXPECT_NE(std::string::npos, text.find("Candy::ShowOffer called - show offer at x: 10 y: 0 Returned: 0x1"));
    EXPECT_EQ(2u, Count(text, "Candy::CheckOffer called - but no selection\n"));
    EXPECT_EQ(1u, Count(text, "Candy::CheckOffer called\n"));
    EXPECT_NE(std::string::npos, text.find("Candy::GetOfferState returned 0x1"));
    EXPECT_NE(std::string::npos, text.find("Candy::InstallOffer() ProductInstalled returned 0 reply = 0x1\n"));
    EXPECT_EQ(std::string::npos, text.find("AbortInstall"));

    // The page lets go of the last placeholder before the library's views go away.
    CallPage(control.get(), L"check", L"");
    EXPECT_EQ(nullptr, Placeholder(frame));
}

// The engine's side without a page: initialization only once options are given, the
// wait for an offer (ready at the third query, or never), a second initialization that
// leaves the library alone, and the failure report.
OWN_PROCESS_TEST(OfferWindow, EngineWaitsForTheOffer) {
    InstallerFolder folder;
    harness::DebugCapture debug;
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    EXPECT_FALSE(AsBool(*CallOk(control.get(), L"InitializeCandy", {Str(folder.LibraryPath())}).get()));
    EXPECT_FALSE(AsBool(*CallOk(control.get(), L"CandyChosen").get()));
    EXPECT_FALSE(AsBool(*CallOk(control.get(), L"HasCandyOffer").get()));
    ASSERT_TRUE(debug.WaitFor("Candy::GetOfferState returned 0xfffffffe"));
    EXPECT_NE(std::string::npos, debug.Text().find("Candy::Initialize called - but not required\n"));
    EXPECT_TRUE(folder.Calls().empty());

    SetOptions(control.get(), L"channel=7");
    ::SetEnvironmentVariableA("OFFER_STANDIN_ASYNC", "1,1,0");
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"InitializeCandy", {Str(folder.LibraryPath())}).get()));
    EXPECT_EQ((std::vector<std::string>{"LoadOpenCandyDLL() -> 1", "SetClientAdvancedOptionsW(channel=7) -> 0",
                                        "Init2W(Pub,Key,Sec,en,1,8000,0) -> 0 adv=channel=7"}),
              Texts(folder.Calls()));

    debug.Clear();
    DWORD start = ::GetTickCount();
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"HasCandyOffer").get()));
    DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 190u);
    EXPECT_LT(elapsed, 950u);
    ASSERT_TRUE(debug.WaitFor("Candy::HasOffer returned true\n"));
    EXPECT_EQ("Candy::HasOffer returned false\nCandy::HasOffer returned false\nCandy::HasOffer returned true\n",
              debug.Text());

    debug.Clear();
    ::SetEnvironmentVariableA("OFFER_STANDIN_ASYNC", "1");
    start = ::GetTickCount();
    EXPECT_FALSE(AsBool(*CallOk(control.get(), L"HasCandyOffer").get()));
    elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 990u);
    EXPECT_TRUE(wintest::WaitUntil([&] { return Count(debug.Text(), "Candy::HasOffer returned false\n") >= 10; }, 5000));
    ::Sleep(100);
    EXPECT_EQ(10u, Count(debug.Text(), "Candy::HasOffer returned false\n"));
    EXPECT_EQ(std::string::npos, debug.Text().find("true"));

    size_t before = folder.Calls().size();
    EXPECT_TRUE(AsBool(*CallOk(control.get(), L"InitializeCandy").get()));
    EXPECT_EQ(before, folder.Calls().size());
    CallOk(control.get(), L"AbortOfferInstall");
    std::vector<LibraryCall> calls = folder.Calls();
    EXPECT_EQ((std::vector<std::string>{"SignalProductFailed() -> 0", "Detach() -> 0", "Shutdown() -> 0"}),
              Texts(calls, before));
    for (size_t i = before; i < calls.size(); ++i) EXPECT_EQ(::GetCurrentThreadId(), calls[i].thread);
    ASSERT_TRUE(debug.WaitFor("Candy::AbortInstall called\n"));
    EXPECT_NE(std::string::npos, debug.Text().find("Candy::Initialize called but we already have offer\n"));
}

// Every result of OCPRD504Init2W reaches the script as its code in the debug output; a
// failure leaves the library loaded, so initializing again gives code 2 without calling
// the library. One process per result (OFFER_STANDIN_INIT, OFFER_EXPECT_CODE).
class OfferInitOwnProcess : public wintest::OwnProcessCase {};

TEST_F(OfferInitOwnProcess, ResultReachesTheScript) {
    char expected[16] = {};
    ASSERT_LT(0u, ::GetEnvironmentVariableA("OFFER_EXPECT_CODE", expected, sizeof expected));
    const std::string code = expected;
    InstallerFolder folder;
    harness::DebugCapture debug;
    auto control = wintest::Control();
    ASSERT_TRUE(control);
    SetOptions(control.get(), L"");
    EXPECT_EQ(code == "0", AsBool(*CallOk(control.get(), L"InitializeCandy").get()));
    const std::string line = "Candy::Initialize(" + harness::Narrow(folder.LibraryPath()) + ") returned ";
    ASSERT_TRUE(debug.WaitFor(line + code + "\n"));
    EXPECT_EQ(code == "0", AsBool(*CallOk(control.get(), L"InitializeCandy").get()));
    if (code != "0") EXPECT_TRUE(debug.WaitFor(line + "2\n"));
    EXPECT_NE(nullptr, ::GetModuleHandleW(folder.LibraryPath().c_str()));
    EXPECT_EQ(2u, folder.Calls().size());  // LoadOpenCandyDLL and Init2W, once
}

TEST(OfferInit, EveryLibraryResultMapsToItsCode) {
    const struct {
        const char* result;
        const char* code;
    } table[] = {{"0", "0"},  {"-1", "9"},   {"-2", "9"},   {"-3", "9"}, {"-2117", "9"}, {"-5", "8"},
                 {"-99", "6"}, {"-2118", "7"}, {"-4", "10"}, {"1", "10"}, {"-100", "10"}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.result);
        ::SetEnvironmentVariableA("OFFER_STANDIN_INIT", row.result);
        ::SetEnvironmentVariableA("OFFER_EXPECT_CODE", row.code);
        wintest::RunInOwnProcess("OfferInitOwnProcess.ResultReachesTheScript");
    }
    ::SetEnvironmentVariableA("OFFER_STANDIN_INIT", nullptr);
    ::SetEnvironmentVariableA("OFFER_EXPECT_CODE", nullptr);
}
