// SymCCISLoadSymCCIS and the module's registration, driven by Lua scripts in the host.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using suitetest::EngineFolder;
using suitetest::RootFolder;

namespace {

std::string LoadCall(const std::string& args) { return "show(SymCCISLoadSymCCIS" + (args.empty() ? "" : ", " + args) + ")"; }

// The folder a load record names, compared without regard to case.
void ExpectLoadedFrom(const EngineFolder& engine, const std::wstring& dll) {
    auto loads = engine.Records("load");
    ASSERT_EQ(1u, loads.size());
    EXPECT_EQ(0, ::lstrcmpiW(harness::Widen(loads[0][0]).c_str(), dll.c_str()))
        << loads[0][0] << " vs " << harness::Narrow(dll);
}

}  // namespace

TEST(SuiteBridgeLoad, OpensWithoutResultsAndRegistersThreeGlobals) {
    EngineFolder engine;
    auto run = engine.Run(R"(out(opened.n, type(SymCCISLoadSymCCIS), type(SymCCISCallCriteriaChecker),
                                 type(SymCCISRunInstallStub)))");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(1u, run.out.size());
    EXPECT_EQ("0|function|function|function", run.out[0]);
    EXPECT_TRUE(engine.Records("load").empty()) << "nothing loads the suite library before it is asked to";
}

TEST(SuiteBridgeLoad, WithoutArgumentLoadsFromTheExecutablesFolder) {
    EngineFolder engine;
    // The script runs elsewhere, beside a different library the load must not pick.
    harness::TempDir work(L"sbw");
    EngineFolder::PlaceStandIn(work.path(), suitetest::kNoStubStandIn);
    auto run = engine.Run(LoadCall(""), work.path());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(1u, run.out.size());
    EXPECT_EQ("ok|2|success|nil", run.out[0]);
    ExpectLoadedFrom(engine, engine / L"SymCCIS.dll");
}

TEST(SuiteBridgeLoad, PathArgumentNamesTheFolder) {
    RootFolder root;  // C:\sbXXXX, 9 characters
    EngineFolder::PlaceStandIn(root.path());
    {
        // 20 characters: the file need not exist, only its folder counts.
        EngineFolder engine;
        const std::string path = harness::Narrow(root.path()) + "\\setup1.exe";
        ASSERT_EQ(20u, path.size());
        auto run = engine.Run(LoadCall(suitetest::LuaQuote(path)));
        ASSERT_EQ(1u, run.out.size());
        EXPECT_EQ("ok|2|success|nil", run.out[0]);
        ExpectLoadedFrom(engine, root.path() + L"\\SymCCIS.dll");
    }
    {
        // 11 characters, the shortest path used.
        EngineFolder engine;
        const std::string path = harness::Narrow(root.path()) + "\\a";
        ASSERT_EQ(11u, path.size());
        auto run = engine.Run(LoadCall(suitetest::LuaQuote(path)));
        ASSERT_EQ(1u, run.out.size());
        EXPECT_EQ("ok|2|success|nil", run.out[0]);
        ExpectLoadedFrom(engine, root.path() + L"\\SymCCIS.dll");
    }
}

TEST(SuiteBridgeLoad, LongestPathArgumentStillLoads) {
    RootFolder root;
    // 247 characters of folder + "\SymCCIS.dll" is 259: the longest library path.
    const std::wstring folder = suitetest::MakeFolderOfLength(root.path(), 247);
    EngineFolder::PlaceStandIn(folder);
    EngineFolder engine;
    const std::string path = harness::Narrow(folder) + "\\abcdefghij";
    ASSERT_EQ(258u, path.size());
    auto run = engine.Run(LoadCall(suitetest::LuaQuote(path)) + "\n" +
                          LoadCall(suitetest::LuaQuote(path + "k")));
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|success|nil", run.out[0]);
    EXPECT_EQ("ok|2|success|nil", run.out[1]) << "259 characters";
    ExpectLoadedFrom(engine, folder + L"\\SymCCIS.dll");
}

TEST(SuiteBridgeLoad, FolderTooLongForTheLibraryNameLoadsNothing) {
    RootFolder root;
    const std::wstring folder = suitetest::MakeFolderOfLength(root.path(), 248);
    EngineFolder engine;
    const std::string path = harness::Narrow(folder) + "\\abcdefghij";
    ASSERT_EQ(259u, path.size());
    auto run = engine.Run(LoadCall(suitetest::LuaQuote(path)) + "\n" + R"(
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true))");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|nil|HRESULT 0000007A", run.out[0]);
    EXPECT_EQ("ok|2|nil|sequence error", run.out[1]);
    EXPECT_TRUE(engine.Records("load").empty());
}

// Every case that falls back to the root of the current drive shares that one file,
// so they run one after another in this test.
TEST(SuiteBridgeLoad, PathOutsideTheLengthRangeTriesTheDriveRoot) {
    harness::TempDir probe(L"sbr");
    const std::wstring rootDll = probe.path().substr(0, 3) + L"SymCCIS.dll";
    ::DeleteFileW(rootDll.c_str());  // a leftover of an interrupted run
    {
        // Without the root file the attempt fails as a missing module.
        EngineFolder engine;
        auto run = engine.Run(LoadCall("\"a.dll\""));
        ASSERT_EQ(1u, run.out.size());
        EXPECT_EQ("ok|2|nil|HRESULT 0000007E", run.out[0]);
    }
    EngineFolder::PlaceStandIn(probe.path().substr(0, 3));
    struct RemoveRoot {
        std::wstring path;
        ~RemoveRoot() { ::DeleteFileW(path.c_str()); }
    } removeRoot{rootDll};

    RootFolder root;
    const std::string tenChars = harness::Narrow(root.path()) + "\\";
    ASSERT_EQ(10u, tenChars.size());
    const std::string tooLong = "C:\\" + std::string(257, 'x');
    ASSERT_EQ(260u, tooLong.size());
    for (const std::string& path : {std::string("a.dll"), tenChars, tooLong, std::string()}) {
        EngineFolder engine;
        auto run = engine.Run(LoadCall(suitetest::LuaQuote(path)));
        ASSERT_EQ(1u, run.out.size()) << path;
        EXPECT_EQ("ok|2|success|nil", run.out[0]) << path;
        ExpectLoadedFrom(engine, rootDll);
    }
}

TEST(SuiteBridgeLoad, MissingLibraryReportsTheLoadError) {
    EngineFolder engine(nullptr);
    auto run = engine.Run(LoadCall("") + "\n" + R"(show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true))");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|nil|HRESULT 0000007E", run.out[0]);
    EXPECT_EQ("ok|2|nil|sequence error", run.out[1]);
}

TEST(SuiteBridgeLoad, LibraryWithoutInstallStubStillChecksCriteria) {
    EngineFolder engine(suitetest::kNoStubStandIn);
    suitetest::ScopedEnv text(L"SYMCCIS_CCC_TEXT1", L"first");
    auto run = engine.Run(LoadCall("") + "\n" + R"(
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 7, true)
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true))");
    ASSERT_EQ(3u, run.out.size());
    EXPECT_EQ("ok|2|nil|Missing entry points", run.out[0]);
    EXPECT_EQ("ok|2|first|", run.out[1]);
    EXPECT_EQ("ok|2|nil|sequence error", run.out[2]);
    ASSERT_EQ(1u, engine.Records("ccc").size());
    EXPECT_TRUE(engine.Records("ris").empty());
}

TEST(SuiteBridgeLoad, LaterLoadReplacesTheEntryPoints) {
    EngineFolder engine(suitetest::kNoStubStandIn);
    harness::TempDir other(L"sbo");
    EngineFolder::PlaceStandIn(other.path());
    suitetest::ScopedEnv word(L"SYMCCIS_RIS_WORD", L"2A");
    const std::string otherPath = suitetest::LuaQuote(harness::Narrow(other.path()) + "\\x.exe");
    auto run = engine.Run(LoadCall("") + "\n" + R"(
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true))" + "\n" +
                          LoadCall(otherPath) + "\n" + R"(
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true))" + "\n" +
                          // A failed load leaves the loaded library in use.
                          LoadCall("\"C:\\\\nowhere\\\\at\\\\all.exe\"") + "\n" + R"(
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true))");
    ASSERT_EQ(6u, run.out.size());
    EXPECT_EQ("ok|2|nil|Missing entry points", run.out[0]);
    EXPECT_EQ("ok|2|nil|sequence error", run.out[1]);
    EXPECT_EQ("ok|2|success|nil", run.out[2]);
    EXPECT_EQ("ok|2|42|nil", run.out[3]);
    EXPECT_EQ("ok|2|nil|HRESULT 0000007E", run.out[4]);
    EXPECT_EQ("ok|2|42|nil", run.out[5]);
    EXPECT_EQ(2u, engine.Records("load").size());
    EXPECT_EQ(2u, engine.Records("ris").size());
}
