// The browser host with the page player standing where the WebBrowser control stands:
// real pages whose script calls window.external, navigation that waits for the page,
// the engine's script calls into the main and the queue browser, and the host identity
// keeping the window alive while the browser holds it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrowserWindow.h"
#include "Harness.h"

namespace {

using browsertest::BrowserWindow;
using browsertest::PageTitle;

std::wstring WritePage(const harness::TempDir& dir, const wchar_t* name, const std::string& body) {
    std::wstring path = dir / name;
    harness::WriteFile(path, "<html><head><title>start</title></head><body>\n" + body + "\n</body></html>\n");
    return path;
}

HRESULT Navigate(BrowserWindow& window, const std::wstring& url) {
    common::Bstr text(url.c_str());
    return window.Host().NavigateMain(text.get());
}

// A page's report of what window.external answered: each call's result, or the error
// number it threw, joined by commas into the page's title.
const char kBridgePage[] = R"(<script>
function call(f) {
  try { return String(f()); } catch (e) { return "error " + (e.number >>> 0).toString(16); }
}
var x = window.external;
var r = [];
r.push(call(function () { return x.checkconnection(); }));
r.push(call(function () { return x.checkconnection(12); }));
r.push(call(function () { return x.CheckConnection("anything"); }));
r.push(call(function () { return x.showoffer(5); }));
r.push(call(function () { return x.ShowOffer(7, 9); }));
r.push(call(function () { return x.CheckOffer(); }));
r.push(call(function () { return x.CHECKOFFER(); }));
r.push(call(function () { return x.hideoffer(); }));
document.title = r.join(",");
</script>)";

TEST(BrowserPages, PagesReachTheBridgeAndNavigationWaitsForTheDocument) {
    harness::TempDir dir(L"pages");
    BrowserWindow window;
    ASSERT_HR(S_OK, window.CreateResult());
    window.Owner().checkAnswer = 1;

    // The page asks for the offer while its first load is still running: the host waits
    // for the completed navigation without stopping the window's thread.
    EXPECT_HR(S_OK, Navigate(window, WritePage(dir, L"bridge.html", kBridgePage)));
    // Navigate came back after DocumentComplete: the page's script has run.
    EXPECT_EQ(L"error 8002000e,error 80020008,true,false,false,true,true,undefined", PageTitle(window));
    auto shown = window.Owner().Shown();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(std::make_pair(0, 5), shown[0]) << "one argument is the second coordinate";
    EXPECT_EQ(std::make_pair(7, 9), shown[1]);
    EXPECT_EQ(2, window.Owner().checked.load()) << "CheckOffer in any case reaches checkoffer";
    EXPECT_EQ(1, window.Owner().hidden.load());

    // The install-complete pages bring the window forward; the second one keeps it on top.
    EXPECT_HR(S_OK, Navigate(window, WritePage(dir, L"installcomplete.html", "<p>done</p>")));
    EXPECT_EQ(1, window.Owner().toFront.load());
    EXPECT_EQ(0, window.Owner().toFrontTopmost.load());
    EXPECT_HR(S_OK, Navigate(window, WritePage(dir, L"installcomplete2.html", "<p>done</p>")));
    EXPECT_EQ(1, window.Owner().toFront.load());
    EXPECT_EQ(1, window.Owner().toFrontTopmost.load());
}

const char kScriptPage[] = R"(<script>
function f(x) { document.title = "f:" + x; }
function fails() { throw new Error("no"); }
</script>)";

TEST(BrowserPages, PendingScriptRunsInTheChosenBrowser) {
    harness::TempDir dir(L"pages");
    BrowserWindow window;
    ASSERT_HR(S_OK, window.CreateResult());
    std::wstring page = WritePage(dir, L"script.html", kScriptPage);
    ASSERT_HR(S_OK, Navigate(window, page));

    EXPECT_EQ(0, window.CallScript(L"f", L"'a'", L"main"));
    EXPECT_EQ(L"f:a", PageTitle(window));
    EXPECT_EQ(-1, window.CallScript(L"f", L"'b'", L"Main")) << "the target is compared with case";
    EXPECT_EQ(L"f:a", PageTitle(window));
    EXPECT_EQ(-1, window.CallScript(L"fails", L"", L"main"));
    EXPECT_EQ(-1, window.CallScript(L"f", L"'c'", L"queue")) << "no queue browser yet";
    common::Bstr url(page.c_str());
    EXPECT_HR(E_FAIL, window.Host().NavigateQueue(url.get()));

    // The queue browser left of the main one inside the inner rectangle.
    EXPECT_EQ(0, window.EnableQueue(RECT{10, 20, 600, 400}));
    RECT queueRect{}, mainRect{};
    window.OnUiThread([&] {
        ::GetWindowRect(window.Host().QueueHostWindow(), &queueRect);
        ::GetWindowRect(window.Host().MainHostWindow(), &mainRect);
        ::MapWindowPoints(nullptr, window.Frame(), reinterpret_cast<POINT*>(&queueRect), 2);
        ::MapWindowPoints(nullptr, window.Frame(), reinterpret_cast<POINT*>(&mainRect), 2);
    });
    const RECT queueExpected{10, 20, 139, 400}, mainExpected{150, 20, 600, 400};
    EXPECT_TRUE(::EqualRect(&queueRect, &queueExpected));
    EXPECT_TRUE(::EqualRect(&mainRect, &mainExpected));

    // A second request lays the browsers out again and creates no second queue browser.
    HWND queueHost = window.Host().QueueHostWindow();
    EXPECT_EQ(0, window.EnableQueue(RECT{10, 20, 600, 400}));
    EXPECT_EQ(queueHost, window.Host().QueueHostWindow());
    int hosts = 0;
    window.OnUiThread([&] {
        for (HWND child = ::GetWindow(window.Frame(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ++hosts;
    });
    EXPECT_EQ(2, hosts);

    EXPECT_HR(S_OK, window.Host().NavigateQueue(url.get()));
    // The queue browser is not waited for: its page is there once its script ran.
    LRESULT ran = -1;
    for (int i = 0; i < 200 && ran != 0; ++i) {
        ::Sleep(50);
        ran = window.CallScript(L"f", L"'q'", L"queue");
    }
    EXPECT_EQ(0, ran);
    EXPECT_EQ(L"f:q", PageTitle(window, true));
    EXPECT_EQ(L"f:a", PageTitle(window)) << "the main page is untouched";
}

TEST(BrowserPages, TheBrowsersKeepTheHostAliveUntilTheWindowGoes) {
    harness::TempDir dir(L"pages");
    BrowserWindow window;
    ASSERT_HR(S_OK, window.CreateResult());
    // The page keeps window.external in a variable of its own.
    ASSERT_HR(S_OK, Navigate(window, WritePage(dir, L"keep.html", "<script>var kept = window.external;</script>")));
    EXPECT_EQ(0, window.Owner().released.load());
    window.Destroy();
    EXPECT_EQ(1, window.Owner().released.load()) << "the last reference went with the window";
    EXPECT_FALSE(window.Host().MainBrowser());
    common::Bstr url(L"about:blank");
    EXPECT_HR(E_FAIL, window.Host().NavigateMain(url.get()));
}

}  // namespace
