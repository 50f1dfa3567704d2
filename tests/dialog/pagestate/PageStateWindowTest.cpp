// The page-state object in the installer as it runs: the engine's script (the real
// engine stand-in) connected to its events while the installer window's page hands it
// script objects from the window's thread, and a page minimizing the installer window
// through it.
#include <gtest/gtest.h>

#include <windows.h>

#include "EngineFolder.h"
#include "Harness.h"
#include "WindowTestSupport.h"

using harness::CallOk;
using harness::CallScode;
using harness::Str;
using harness::UI4;

namespace {

// Hands Process a string (refused), a nested object with a text and a number, and an
// object that holds itself, then reports what the string got.
const char kProcessPage[] = R"page(<html><head><title>data</title></head><body><script>
var state = new ActiveXObject("DOZUvidaruve.StateCtrl");
var refused = "accepted";
try { state.Process("text"); } catch (e) { refused = (e.number >>> 0).toString(16); }
state.Process({outer: {a: "x", n: 7}});
var loop = {};
loop.self = loop;
state.Process({deep: {flag: true, list: loop}});
state.message("string " + refused);
</script></body></html>
)page";

const char kEngineScript[] = R"lua(
local state = com.CreateObject("DOZUvidaruve.StateCtrl")
local events = 0
com.Connect(state, {OnProcess = function(self) events = events + 1 end})
local dialog = com.CreateObject("Stagehand.InstallDlgCtl")
dialog:Create(640, 480, 0)
dialog:Navigate(arg[1])
-- The page fires on the window's thread; the events reach this script as it waits.
local waited = 0
while events < 2 and waited < 60000 do com.Sleep(50) waited = waited + 50 end
com.Sleep(300)
show(events, state:PollMessage())
local first = state:PollProcess()
show(first.n, first[1], first[2], first[3], first[4], first[5])
local second = state:PollProcess()
show(second.n, second[1], second[2], second[3], second[4], second[5], second[second.n])
show(state:PollProcess() == nil)
return 0
)lua";

}  // namespace

TEST(SlideStatePages, PageObjectsReachTheEngineScriptThroughProcessAndItsEvents) {
    decktest::EngineFolder folder;
    const std::wstring page = folder / L"data.html";
    harness::WriteFile(page, kProcessPage);
    folder.WriteScript(L"installerMain.clf", kEngineScript);
    harness::DebugCapture capture;
    decktest::EngineRun run = folder.Run(L"installerMain.clf \"" + page + L"\"", &capture);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;

    const std::string reserved = "RESERVED_NODE_IDENTIFIER";
    // Two records queued, two events; the string was refused with E_INVALIDARG.
    ASSERT_EQ(4u, run.out.size()) << run.err;
    EXPECT_EQ("2|string 80070057", run.out[0]);
    // Properties are visited from the last one listed to the first.
    EXPECT_EQ("5|outer|n|7|a|x", run.out[1]);
    // The object holding itself is followed 32 levels deep, then left: the record keeps
    // what was read, and the true flag (neither text nor number) adds nothing.
    EXPECT_EQ("65|deep|" + reserved + "|list|" + reserved + "|self|self", run.out[2]);
    EXPECT_EQ("true", run.out[3]);

    const std::string trace = capture.Text();
    for (const char* line : {"a == x", "n == 7", "n : 7\n", "a : x\n", "flag ==  VT == 11"})
        EXPECT_NE(std::string::npos, trace.find(line)) << line << " in " << trace;
}

TEST(SlideStatePages, MinimizeReachesTheInstallerWindowThroughTheControl) {
    auto state = harness::Create(L"DOZUvidaruve.StateCtrl");
    ASSERT_TRUE(state);
    // Before the window exists there is nothing to minimize, and nothing fails.
    CallOk(state.get(), L"Minimize");

    auto control = wintest::Control();
    ASSERT_TRUE(control);
    ASSERT_HR(S_OK, CallScode(control.get(), L"Create", {UI4(640), UI4(480), UI4(0)}));
    HWND window = wintest::InstallerWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(::IsIconic(window));
    CallOk(state.get(), L"minimize");
    EXPECT_TRUE(wintest::WaitUntil([&] { return ::IsIconic(window) != FALSE; }));
}
