// Failures a script meets: COM errors become Lua errors that carry the HRESULT and the
// exception's description, misuse is refused with a message instead of a wrong value,
// and an error nobody catches ends the engine with exit code 1 and the message on
// stderr and the debug output.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using decktest::EngineFolder;
using decktest::EngineRun;
using decktest::ExpectContains;

namespace {
const char kScript[] = R"lua(
local p = com.CreateObject("DeckProbe.Probe")
try(function() p:Fail(-2147467259, "Deliberate failure") end)
try(function() p:Fail(-2147024891, "") end)
try(function() return p:Divide(1, 0) end)
try(function() return p.NoSuchThing end)
try(function() return p:Numbers("abc", 1, 2, 3, 4) end)
try(function() return p:Numbers(1, 2, 3, 4, 70000) end)
try(function() p.Label = "x" end)
try(function() return p.Describe(5) end)
try(function() return p:Describe({1, 2, x = 3}) end)
local loop = {}
loop[1] = loop
try(function() return p:Describe(loop) end)
try(function() return p:Describe(print) end)
try(function() return p:Echo(1, 2, 3) end)
try(function() return com.CreateObject("No.Such.Class") end)
try(function() return com.Connect(com.CreateObject("Scripting.Dictionary"), {}) end)
show("still running")
error("uncaught " .. "failure")
)lua";
}  // namespace

TEST(ScriptdeckBridge, FailuresBecomeLuaErrorsWithTheHresultAndDescription) {
    EngineFolder folder;
    folder.WriteScript(L"errors.lua", kScript);
    harness::DebugCapture debug;
    EngineRun run = folder.Run(L"errors.lua", &debug);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(15u, run.out.size()) << run.err;
    const std::vector<std::string>& out = run.out;
    // The exception record: its code, description and source, and where the call was.
    const std::string at = "errors.lua:" + std::to_string(decktest::ScriptLine(kScript, "Deliberate failure"));
    EXPECT_EQ("err|" + at + ": IDeckProbe.Fail: HRESULT 80004005: Deliberate failure [DeckProbe]", out[0]);
    // A bare failure code, with the system's text for it.
    const std::string next = "errors.lua:" + std::to_string(decktest::ScriptLine(kScript, "-2147024891"));
    ExpectContains(out[1], next + ": IDeckProbe.Fail: HRESULT 80070005");
    ExpectContains(out[2], "IDeckProbe.Divide: HRESULT 80020012");
    ExpectContains(out[3], "IDeckProbe has no member NoSuchThing (HRESULT 80020006");
    // Arguments that can't take the declared type never reach the object.
    ExpectContains(out[4], "IDeckProbe.Numbers: argument 1: cannot convert string to INT (HRESULT 80020005");
    ExpectContains(out[5], "IDeckProbe.Numbers: argument 5: cannot convert number to USHORT (HRESULT 8002000A");
    ExpectContains(out[6], "IDeckProbe.Label is a read-only property");
    ExpectContains(out[7], "Describe: call it as a method of a COM object, obj:Describe(...)");
    ExpectContains(out[8], "argument 1: a table with keys other than 1..n can't become an array");
    ExpectContains(out[9], "argument 1: tables nested more than 32 deep");
    ExpectContains(out[10], "argument 1: cannot pass a function to COM");
    ExpectContains(out[11], "IDeckProbe.Echo: HRESULT 8002000E");
    ExpectContains(out[12], "com.CreateObject(\"No.Such.Class\"): HRESULT 800401F3");
    ExpectContains(out[13], "): the object names no event interface");
    for (size_t i = 0; i < 14; ++i) EXPECT_EQ(0u, out[i].rfind("err|", 0)) << out[i];
    EXPECT_EQ("still running", out[14]);

    const std::string uncaught = "errors.lua:" + std::to_string(decktest::ScriptLine(kScript, "uncaught")) +
                                 ": uncaught failure";
    ExpectContains(run.err, "scriptdeck: " + uncaught);
    ExpectContains(run.err, "stack traceback:");
    EXPECT_TRUE(debug.WaitFor(uncaught)) << debug.Text();
}
