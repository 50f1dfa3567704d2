// The installer's pages end to end, the way the engine and the pages use them: the
// singleton "Stagehand.InstallDlgCtl" late-bound, real pages in the page player (which
// stands where the WebBrowser stands), page script calling window.external and the
// page-state object, the engine's script calls into the pages, and the engine polling
// while page script works. Each case runs in a process of its own: the control is a
// singleton whose window lives as long as the process.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <string>

#include "Harness.h"
#include "TestThread.h"
#include "WindowTestSupport.h"

using harness::CallOk;
using harness::CallScode;
using harness::Str;
using harness::UI4;

namespace {

std::wstring WritePage(const harness::TempDir& dir, const wchar_t* name, const std::string& body) {
    std::wstring path = dir / name;
    harness::WriteFile(path, "<html><head><title>page</title></head><body>\n" + body + "\n</body></html>\n");
    return path;
}

common::ComPtr<IDispatch> CreatedControl() {
    auto control = wintest::Control();
    EXPECT_TRUE(control);
    if (control) {
        EXPECT_HR(S_OK, CallScode(control.get(), L"Create", {UI4(640), UI4(480), UI4(0)}));
    }
    return control;
}

common::ComPtr<IDispatch> PageState() { return harness::Create(L"DOZUvidaruve.StateCtrl"); }

std::wstring PollMessage(IDispatch* state) { return harness::AsString(*CallOk(state, L"PollMessage").get()); }

bool Topmost(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

OWN_PROCESS_SUITE(InstallerPages);

OWN_PROCESS_TEST(InstallerPages, InstallCompletePagesRaiseTheWindowAndOnlyTheSecondKeepsItOnTop) {
    harness::TempDir dir(L"pages");
    auto control = CreatedControl();
    HWND hwnd = wintest::InstallerWindow();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_HR(S_OK, CallScode(control.get(), L"Navigate", {Str(WritePage(dir, L"welcome.html", "<p>hi</p>"))}));
    EXPECT_FALSE(Topmost(hwnd));

    ASSERT_HR(S_OK, CallScode(control.get(), L"Navigate",
                              {Str(WritePage(dir, L"installcomplete2.html", "<p>all done</p>"))}));
    EXPECT_TRUE(wintest::WaitUntil([&] { return Topmost(hwnd); })) << "installcomplete2 leaves the window on top";
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    ASSERT_HR(S_OK, CallScode(control.get(), L"Navigate",
                              {Str(WritePage(dir, L"installcomplete.html", "<p>done</p>"))}));
    EXPECT_TRUE(wintest::WaitUntil([&] { return !Topmost(hwnd); })) << "installcomplete drops the topmost state";
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

// A page reports what window.external answered through the page-state object, offers
// its functions to the engine and lets the engine press its Next button.
const char kWelcomePage[] = R"page(<script>
var state = new ActiveXObject("DOZUvidaruve.StateCtrl");
var x = window.external;
state.message([x.checkconnection("ping"), x.CheckOffer(), x.showoffer(5)].join(","));
function f(v) { state.message("f:" + v); }
</script>
<input id="next" type="button" value="Next" onclick="state.Next()">)page";

// The queue browser has none of the host's objects: its page shows what it was asked
// through the page player's log.
const char kQueuePage[] = R"page(<script>
function g(v) { alert("queue:" + v); }
</script>)page";

OWN_PROCESS_TEST(InstallerPages, PagesReachTheBridgeAndThePageStateAndTheEngineCallsTheirFunctions) {
    harness::TempDir dir(L"pages");
    const std::wstring log = dir / L"player.log";
    ::SetEnvironmentVariableW(L"PAGEPLAYER_LOG", log.c_str());
    auto control = CreatedControl();
    auto state = PageState();
    ASSERT_TRUE(state);
    CallOk(state.get(), L"Reset");

    // Navigate returns once the page is complete: its script has already reported.
    ASSERT_HR(S_OK, CallScode(control.get(), L"Navigate", {Str(WritePage(dir, L"welcome.html", kWelcomePage))}));
    EXPECT_EQ(L"true,true,false", PollMessage(state.get()))
        << "checkconnection true, no offer to wait for, showoffer false";

    EXPECT_HR(S_OK, CallScode(control.get(), L"CallJSFunction", {Str(L"f"), Str(L"'a'"), Str(L"main")}));
    EXPECT_EQ(L"f:a", PollMessage(state.get()));
    EXPECT_HR(S_OK, CallScode(control.get(), L"CallJSFunction", {Str(L"f"), Str(L"'b'"), Str(L"Main")}));
    EXPECT_EQ(L"", PollMessage(state.get())) << "\"Main\" is no browser: nothing ran";

    // The road of one page action: the user's Next reaches the engine's poll.
    EXPECT_HR(S_OK, CallScode(control.get(), L"CallJSFunction",
                              {Str(L"document.getElementById('next').click"), Str(L""), Str(L"main")}));
    EXPECT_EQ(L"next", harness::AsString(*CallOk(state.get(), L"QueryAction").get()));
    CallOk(state.get(), L"Reset");

    // The queue browser exists after EnableQueue only, and is not waited for.
    std::wstring queuePage = WritePage(dir, L"queue.html", kQueuePage);
    EXPECT_HR(E_FAIL, CallScode(control.get(), L"NavigateQ", {Str(queuePage)}));
    EXPECT_HR(S_OK, CallScode(control.get(), L"EnableQueue", {}));
    EXPECT_HR(S_OK, CallScode(control.get(), L"NavigateQ", {Str(queuePage)}));
    EXPECT_TRUE(wintest::WaitUntil([&] {
        CallOk(control.get(), L"CallJSFunction", {Str(L"g"), Str(L"'q'"), Str(L"queue")});
        return harness::FileExists(log) && harness::ReadFile(log).find(" alert queue:q") != std::string::npos;
    }, 30000));
    EXPECT_EQ(L"", PollMessage(state.get())) << "the main page's f was not called";
}

// The classes pages may create serve the pages of the installer's window wherever the
// page file lies (here a scratch folder, outside the installer's folder): the page's
// script engine sites each object, and the site leads to the window's host.
const char kSitedPage[] = R"page(<script>
var state = new ActiveXObject("DOZUvidaruve.StateCtrl"), r = [];
function attempt(name, f) { try { r.push(name + ":" + f()); } catch (e) { r.push(name + ":" + e.number); } }
attempt("path", function () { state.InstallPath = "C:\\Games\\Sited"; return state.InstallPath; });
attempt("pid", function () { return new ActiveXObject("PebbleUtil.ShellCtl").GetPid() > 0; });
attempt("event", function () {
  var p = new ActiveXObject("PebbleUtil.ProcessMgr"), h = p.CreateNamedEvent("sitelock-window");
  p.CloseEvent(h);
  return h != 0;
});
state.message(r.join(" "));
</script>)page";

OWN_PROCESS_TEST(InstallerPages, ObjectsThePagesCreateAreSitedInTheWindowAndServeThem) {
    harness::TempDir dir(L"pages");
    const std::wstring log = dir / L"player.log";
    ::SetEnvironmentVariableW(L"PAGEPLAYER_LOG", log.c_str());
    auto control = CreatedControl();
    auto state = PageState();
    ASSERT_TRUE(state);
    ASSERT_HR(S_OK, CallScode(control.get(), L"Navigate", {Str(WritePage(dir, L"sited.html", kSitedPage))}));
    EXPECT_EQ(L"path:C:\\Games\\Sited pid:true event:true", PollMessage(state.get()));

    // The shared page-state object holds the page's site, and the engine goes on using it.
    common::ComPtr<IObjectWithSite> withSite;
    ASSERT_HR(S_OK, state->QueryInterface(IID_IObjectWithSite, withSite.put_void()));
    common::ComPtr<IServiceProvider> site;
    EXPECT_HR(S_OK, withSite->GetSite(IID_IServiceProvider, site.put_void()));
    EXPECT_TRUE(site);
    common::Variant path;
    EXPECT_HR(S_OK, harness::Get(state.get(), L"InstallPath", path.get()));
    EXPECT_EQ(L"C:\\Games\\Sited", harness::AsString(*path.get()));

    // The queue browser has none of the host's objects, yet it is the installer's own: a
    // page there from the content server is served, and the shared page-state object it
    // sites stays usable by the engine.
    ASSERT_TRUE(::CreateDirectoryW((dir / L"content.example").c_str(), nullptr));
    WritePage(dir, L"content.example\\queue.html", kSitedPage);
    ::SetEnvironmentVariableW(L"PAGEPLAYER_WEB_ROOT", dir.path().c_str());
    ASSERT_HR(S_OK, CallScode(control.get(), L"EnableQueue", {}));
    ASSERT_HR(S_OK, CallScode(control.get(), L"NavigateQ", {Str(L"http://content.example/queue.html")}));
    std::wstring queued;
    EXPECT_TRUE(wintest::WaitUntil([&] { return !(queued = PollMessage(state.get())).empty(); }, 30000));
    EXPECT_EQ(L"path:C:\\Games\\Sited pid:true event:true", queued) << harness::ReadFile(log);
    EXPECT_HR(S_OK, harness::Get(state.get(), L"InstallPath", path.put()));
}

// Page script works the page-state object from its load script and from timers while
// the engine's thread navigates, polls the same object and calls the page's functions,
// and a second engine-side thread polls all along.
const char kBusyPage[] = R"page(<script>
var state = new ActiveXObject("DOZUvidaruve.StateCtrl");
var ticks = 0, pings = 0;
for (var i = 0; i < 50; i++) { state.AddTag("load" + i); state.Next(); }
function ping(v) { pings++; state.AddTag("ping" + v); }
function tick() {
  ticks++;
  state.Next();
  state.RemoveTag("load" + (ticks % 50));
  if (pings < 20 || ticks < 100) setTimeout(tick, 0);
  else state.message("done " + pings);
}
setTimeout(tick, 0);
</script>)page";

OWN_PROCESS_TEST(InstallerPages, PageScriptUsesThePageStateWhileTheEnginePollsWithoutDeadlock) {
    harness::TempDir dir(L"pages");
    auto control = CreatedControl();
    std::wstring page = WritePage(dir, L"busy.html", kBusyPage);

    // The engine's poller, on a thread of its own from before the navigation on.
    std::atomic<bool> pollerDone{false};
    std::atomic<int> polls{0};
    std::wstring done;
    harness::TestThread poller([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            auto state = PageState();
            const DWORD start = ::GetTickCount();
            while (state && ::GetTickCount() - start < 90000) {
                std::wstring message = PollMessage(state.get());
                if (message.compare(0, 4, L"done") == 0) {
                    done = message;
                    break;
                }
                CallOk(state.get(), L"QueryAction");
                CallOk(state.get(), L"TagRemoved", {Str(L"load7")});
                CallOk(state.get(), L"Reset");
                ++polls;
            }
        }
        ::CoUninitialize();
        pollerDone = true;
    });

    EXPECT_HR(S_OK, CallScode(control.get(), L"Navigate", {Str(page)}));
    for (int i = 0; i < 20; ++i)
        EXPECT_HR(S_OK, CallScode(control.get(), L"CallJSFunction",
                                  {Str(L"ping"), Str(std::to_wstring(i)), Str(L"main")}));
    EXPECT_TRUE(wintest::WaitUntil([&] { return pollerDone.load(); }, 100000));
    poller.join();
    EXPECT_EQ(L"done 20", done) << "every engine call ran in the page, and the page finished";
    EXPECT_GT(polls.load(), 0);
}

}  // namespace
