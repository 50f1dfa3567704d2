// A Lua table connected to an object's events: each event runs the table's function of
// its name with the table and the event's arguments; events fired on another thread
// wait for the engine thread's message loop; a failing handler's error reaches the
// script where the firing call returns; Disconnect ends the delivery.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using decktest::EngineFolder;
using decktest::EngineRun;
using decktest::ExpectContains;

TEST(ScriptdeckBridge, EventsRunTheSinkTablesFunctionsOnTheEngineThread) {
    EngineFolder folder;
    folder.WriteScript(L"events.lua", R"lua(
local p = com.CreateObject("DeckProbe.Probe")
local engineThread = p:ThreadId()
local seen = {}
local function note(text) table.insert(seen, text) end
-- Handlers may come from the table's metatable; events without one are ignored.
local Base = {}
function Base:OnProcess() note("process") end
local sink = setmetatable({}, {__index = Base})
function sink:OnProgress(percent) note("progress " .. percent .. (self == sink and " self" or "")) end
function sink:OnNotice(text, values, flag)
  note(text .. " " .. values.n .. " " .. values[1] .. values[2] .. tostring(values[3]) .. " " .. tostring(flag))
end
com.Connect(p, sink)
p:Fire("OnProgress", 2)
p:Fire("OnProcess", 1)
p:Fire("OnChooseFolder", 1)
p:Fire("OnNotice", 1)
show(table.concat(seen, ","))

-- Fired on another thread: delivered when the engine thread waits, on that thread.
seen = {}
function sink:OnChooseFolder() note(p:ThreadId() == engineThread and "folder on engine" or "folder elsewhere") end
p:FireFromThread("OnChooseFolder", 2)
show(table.getn(seen))
com.Sleep(200)
show(table.concat(seen, ","))

-- A failing handler: its error is raised where the call that fired it returns.
function sink:OnProcess() error("handler broke") end
try(function() p:Fire("OnProcess", 3) end)

-- Disconnected: nothing arrives any more.
local conn = com.Connect(p, {OnProgress = function() note("second sink") end})
seen = {}
conn:Disconnect()
p:Fire("OnProgress", 1)
show(table.concat(seen, ","))
)lua");
    EngineRun run = folder.Run(L"events.lua");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    ASSERT_EQ(5u, run.out.size()) << run.err;
    EXPECT_EQ("progress 1 self,progress 2 self,process,notice 3 1twotrue true", run.out[0]);
    EXPECT_EQ("0", run.out[1]);
    EXPECT_EQ("folder on engine,folder on engine", run.out[2]);
    EXPECT_EQ(0u, run.out[3].rfind("err|event handler OnProcess: events.lua:", 0)) << run.out[3];
    ExpectContains(run.out[3], ": handler broke");
    // The first sink still hears OnProgress; the disconnected second one doesn't.
    EXPECT_EQ("progress 1 self", run.out[4]);
}
