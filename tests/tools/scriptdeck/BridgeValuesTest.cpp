// Values crossing the bridge both ways, as a script meets them: what DeckProbe.Probe
// receives for each Lua value, the declared parameter types (INT, UINT, LONG, ULONG,
// USHORT, VARIANT_BOOL, DOUBLE, BSTR and BSTR*, VARIANT*, SAFEARRAY), arrays in and
// out, out values as extra results, properties, objects and their release.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using decktest::EngineFolder;
using decktest::EngineRun;

TEST(ScriptdeckBridge, LuaValuesReachTheObjectAsVariantsOfTheirTypes) {
    EngineFolder folder;
    folder.WriteScript(L"values.lua", R"lua(
local p = com.CreateObject("DeckProbe.Probe")
p.Name = "probe"
-- VARIANT parameters: each Lua value as it converts by itself.
show(p:Describe(nil), p:Describe(true), p:Describe(false))
show(p:Describe(42), p:Describe(-7), p:Describe(2.5), p:Describe(3000000000))
show(p:Describe("abc"), p:Describe(""), p:Describe(p))
show(string.len(p:Echo("a\0b")), p:Describe("a\0b") == "BSTR(3):a\0b")
local e = "caf\233"
show(p:Describe(e) == "BSTR(4):" .. e, p:Echo(e) == e)
-- Tables become arrays with Lua's indices (lower bound 1); n sizes one with holes.
show(p:Describe({1, "two", true}))
show(p:Describe({}), p:Describe({n = 3, 1, nil, 3}))
show(p:Describe({{1, 2}, {"x"}}))
-- [in] VARIANT*: a reference to the value.
show(p:DescribeRef(5))
-- Declared types: converted to what the parameter takes.
show(p:Numbers(-5, 4000000000, -2147483648, 4294967295, 65535))
show(p:Numbers("12", 1, 0, 0, 0))
show(p:Negate(true), p:Negate(false), p:Negate(nil), p:Half(5), p:Half("3"))
show(p:Concat("ab", "cd"), p:Concat(12, true))
show(p:Greet("Ann"), p:Greet("Bob", "Dr"))
)lua");
    EngineRun run = folder.Run(L"values.lua");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ((std::vector<std::string>{
                  "EMPTY|BOOL:true|BOOL:false",
                  "I4:42|I4:-7|R8:2.5|R8:3000000000",
                  "BSTR(3):abc|BSTR(0):|DISPATCH:probe",
                  "3|true",
                  "true|true",
                  "ARRAY(VARIANT)[1..3]{I4:1,BSTR(3):two,BOOL:true}",
                  "ARRAY(VARIANT)[1..0]{}|ARRAY(VARIANT)[1..3]{I4:1,EMPTY,I4:3}",
                  "ARRAY(VARIANT)[1..2]{ARRAY(VARIANT)[1..2]{I4:1,I4:2},ARRAY(VARIANT)[1..1]{BSTR(1):x}}",
                  "PTR:I4:5",
                  "i=-5 u=4000000000 l=-2147483648 ul=4294967295 us=65535",
                  "i=12 u=1 l=0 ul=0 us=0",
                  "false|true|true|2.5|1.5",
                  "abcd|12true",
                  "friend Ann|Dr Bob",
              }),
              run.out);
}

TEST(ScriptdeckBridge, ResultsArraysOutValuesPropertiesAndObjectsComeBackToLua) {
    EngineFolder folder;
    folder.WriteScript(L"results.lua", R"lua(
local p = com.CreateObject("DeckProbe.Probe")
p.Name = "parent"
-- SAFEARRAY results (of BSTR, of VARIANT, of two dimensions) are tables from 1.
local parts = p:Split("a,b,,c")
show(type(parts), parts.n, parts[1], parts[2], parts[3], parts[4])
show(p:Join({"x", "y", "z"}, "-"), p:Join({1, 2}, "+"), p:Join({}, ","))
local m = p:Matrix(2, 3)
show(m.n, m[1].n, m[1][1], m[1][3], m[2][1], m[2][3])
local echoed = p:Echo({1, {"a", false}, 2.5})
show(echoed.n, echoed[1], echoed[2][1], echoed[2][2], echoed[3], p:Describe(echoed))
-- Out values follow the return value; in/out values come back changed.
show(p:Divide(17, 5))
show(p:Divide(10, 5))
show(p:Swap("text", 42))
show(p:Swap("a", nil))
-- Properties, read and written by name.
p.Count = 65535
show(p.Count, p.Label)
p.Items = {"q", 7}
local items = p.Items
show(items.n, items[1], items[2], p:Describe(p.Items))
-- Objects: as results and arguments, compared by identity, released when collected.
local before = p.LiveObjects
local function useChild()
  local child = p:CreateChild("kid")
  show(string.find(tostring(child), "^COM object IDeckProbe: ") ~= nil, child.Name, p:NameOf(child), p:NameOf(nil))
  show(p.LiveObjects - before, child == p:Echo(child), child == p, p == p)
end
useChild()
collectgarbage()
collectgarbage()
show(p.LiveObjects - before)
local early = p:CreateChild("early")
com.Release(early)
show(p.LiveObjects - before, tostring(early))
)lua");
    EngineRun run = folder.Run(L"results.lua");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ((std::vector<std::string>{
                  "table|4|a|b||c",
                  "x-y-z|1+2|",
                  "2|3|0|2|10|12",
                  "3|1|a|false|2.5|ARRAY(VARIANT)[1..3]{I4:1,ARRAY(VARIANT)[1..2]{BSTR(1):a,BOOL:false},R8:2.5}",
                  "false|3|2",
                  "true|2|0",
                  "42|text",
                  "|a",
                  "65535|label of parent",
                  "2|q|7|ARRAY(VARIANT)[1..2]{BSTR(1):q,I4:7}",
                  "true|kid|kid|null",
                  "1|true|false|true",
                  "0",
                  "0|COM object (released)",
              }),
              run.out);
}
