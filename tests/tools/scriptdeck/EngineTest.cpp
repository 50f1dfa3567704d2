// The engine as the launcher starts it: the script and its arguments from the command
// line, the exit code the script sets, Lua 5.0's loadlib for the engine's modules, and
// the message loop that runs while the script waits and ends at a quit message.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using decktest::EngineFolder;
using decktest::EngineRun;
using decktest::ExpectContains;

TEST(ScriptdeckEngine, RunsTheNamedScriptWithItsArgumentsAndEndsWithItsExitCode) {
    EngineFolder folder;
    folder.AddToBin(L"suitebridge.dll", L"suitebridge.dll");
    folder.WriteScript(L"installerMain.clf", R"lua(
show(arg.n, arg[0], arg[1], arg[2], arg[3], string.find(arg[-1], "scriptdeck.exe$") ~= nil)
-- Modules load through 5.0's global loadlib, from the engine's own folder.
local open = assert(loadlib("suitebridge.dll", "luaopen_suitebridge"))
open()
show(SymCCISLoadSymCCIS())
return 3
)lua");
    EngineRun run = folder.Run(L"installerMain.clf \"two words\" --flag \"\"");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(3u, run.exitCode) << run.err;
    // No SymCCIS.dll beside the engine: the module reports the load error 126.
    EXPECT_EQ((std::vector<std::string>{"3|installerMain.clf|two words|--flag||true", "nil|HRESULT 0000007E"}),
              run.out);
    EXPECT_EQ("", run.err);

    folder.WriteScript(L"exit.lua", "show('exiting') os.exit(5) show('not reached')");
    run = folder.Run(L"exit.lua");
    EXPECT_EQ(5u, run.exitCode);
    EXPECT_EQ(std::vector<std::string>{"exiting"}, run.out);

    folder.WriteScript(L"false.lua", "return false");
    EXPECT_EQ(1u, folder.Run(L"false.lua").exitCode);

    run = folder.Run(L"missing.clf");
    EXPECT_EQ(1u, run.exitCode);
    ExpectContains(run.err, "scriptdeck: cannot open missing.clf");
}

TEST(ScriptdeckEngine, WaitingRunsTheMessageLoopAndAQuitMessageEndsTheScript) {
    EngineFolder folder;
    folder.WriteScript(L"loop.lua", R"lua(
local p = com.CreateObject("DeckProbe.Probe")
-- A timer of the engine thread ticks only while its messages are dispatched.
p:StartTimer(20)
com.Sleep(600)
show("ticks", p.Ticks >= 3)
-- The quit message a fatal error box posts: the loop runs before every call the
-- script makes, so the script ends at its next call (here one a pcall guards), with
-- the message's exit code, and the pcall does not keep it going.
p:PostQuit(7)
show("posted")
local ok = pcall(function() return p:ThreadId() end)
show("not reached", ok)
while true do end
)lua");
    EngineRun run = folder.Run(L"loop.lua", nullptr, 60000);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(7u, run.exitCode) << run.err;
    EXPECT_EQ((std::vector<std::string>{"ticks|true", "posted"}), run.out);
    EXPECT_EQ("", run.err);
}
