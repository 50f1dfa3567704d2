// SymCCISCallCriteriaChecker and SymCCISRunInstallStub: argument checks, conversions,
// results and failures, driven by Lua scripts in the host against the stand-in.
#include <gtest/gtest.h>

#include "EngineFolder.h"

using suitetest::EngineFolder;
using suitetest::ScopedEnv;

namespace {

const char kLoad[] = "assert(SymCCISLoadSymCCIS() == \"success\")\n";
const char kStubArgs[] = R"("s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", true, false, true)";

}  // namespace

TEST(SuiteBridgeCalls, WrongArgumentCountsRaiseTheCountError) {
    EngineFolder engine;
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISLoadSymCCIS, "C:\\somewhere\\x.exe", "b")
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true, true)
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, true, false)
        show(SymCCISRunInstallStub))");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(5u, run.out.size());
    EXPECT_EQ("err|function SymCCISLoadSymCCIS takes 1 arguments, 2 supplied", run.out[0]);
    EXPECT_EQ("err|function SymCCISCallCriteriaChecker takes 5 arguments, 4 supplied", run.out[1]);
    EXPECT_EQ("err|function SymCCISCallCriteriaChecker takes 5 arguments, 6 supplied", run.out[2]);
    EXPECT_EQ("err|function SymCCISRunInstallStub takes 11 arguments, 12 supplied", run.out[3]);
    EXPECT_EQ("err|function SymCCISRunInstallStub takes 11 arguments, 0 supplied", run.out[4]);
    EXPECT_TRUE(engine.Records("ccc").empty());
    EXPECT_TRUE(engine.Records("ris").empty());
    EXPECT_EQ(1u, engine.Records("load").size()) << "the failed load call tried nothing";
}

TEST(SuiteBridgeCalls, WrongArgumentTypesRaiseLuasArgumentError) {
    EngineFolder engine;
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISRunInstallStub, "1", "2", "3", "4", 5, "6", "7", "8", true, false, true)
        show(SymCCISRunInstallStub, "1", "2", "3", "4", "5", "6", "7", "8", true, false, 1)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", "four", true)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 4, "yes")
        show(SymCCISCallCriteriaChecker, "a", {}, "c", 4, true)
        show(SymCCISLoadSymCCIS, 12345678901234))");
    ASSERT_EQ(6u, run.out.size());
    const char* expected[][2] = {{"#5", "string expected, got number"},  {"#11", "boolean expected, got number"},
                                 {"#4", "number expected, got string"},  {"#5", "boolean expected, got string"},
                                 {"#2", "string expected, got table"},   {"#1", "string expected, got number"}};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(0u, run.out[i].find("err|bad argument " + std::string(expected[i][0]) + " "))
            << run.out[i];
        EXPECT_NE(std::string::npos, run.out[i].find(expected[i][1])) << run.out[i];
    }
    EXPECT_TRUE(engine.Records("ccc").empty());
    EXPECT_TRUE(engine.Records("ris").empty());
}

TEST(SuiteBridgeCalls, BeforeAnyLoadBothReportASequenceError) {
    EngineFolder engine;
    auto run = engine.Run(std::string(R"(
        show(SymCCISRunInstallStub, )") + kStubArgs + R"()
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, false))");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|nil|sequence error", run.out[0]);
    EXPECT_EQ("ok|2|nil|sequence error", run.out[1]);
    EXPECT_TRUE(engine.Records("load").empty());
}

TEST(SuiteBridgeCalls, CriteriaCheckerGetsConvertedArgumentsAndReturnsBothTexts) {
    EngineFolder engine;
    ScopedEnv text1(L"SYMCCIS_CCC_TEXT1", L"offer=yes");
    ScopedEnv text2(L"SYMCCIS_CCC_TEXT2", L"lang=en");
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISCallCriteriaChecker, "partner", "", "C:\\Games", 2.9, true)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", -2.9, false)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1e10, true)
        show(SymCCISCallCriteriaChecker, "a", "b", "c", -1e10, true)
        show(SymCCISCallCriteriaChecker, "a\0hidden", "b", "c", 0, true))");
    ASSERT_EQ(5u, run.out.size());
    for (const std::string& line : run.out) EXPECT_EQ("ok|2|offer=yes|lang=en", line);
    auto calls = engine.Records("ccc");
    ASSERT_EQ(5u, calls.size());
    // s1|s2|s3|n|flag|ptr1|ptr2|size1|size2
    EXPECT_EQ("partner", calls[0][0]);
    EXPECT_EQ("", calls[0][1]);
    EXPECT_EQ("C:\\Games", calls[0][2]);
    EXPECT_EQ("2", calls[0][3]);
    EXPECT_EQ("1", calls[0][4]);
    EXPECT_EQ("-2", calls[1][3]);
    EXPECT_EQ("0", calls[1][4]);
    EXPECT_EQ("2147483647", calls[2][3]);
    EXPECT_EQ("-2147483648", calls[3][3]);
    EXPECT_EQ("a", calls[4][0]) << "the library sees text up to an embedded NUL";
    for (const auto& call : calls) {
        // Two distinct 2048-byte blocks of the COM task allocator.
        EXPECT_NE(call[5], call[6]);
        EXPECT_EQ("2048", call[7]);
        EXPECT_EQ("2048", call[8]);
    }
}

TEST(SuiteBridgeCalls, InstallStubGetsEveryArgumentAndReturnsTheResultWord) {
    EngineFolder engine;
    ScopedEnv word(L"SYMCCIS_RIS_WORD", L"FFFFFFFF");
    ScopedEnv result(L"SYMCCIS_RIS_RESULT", L"1");  // S_FALSE still counts as success
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISRunInstallStub, "one", "two", "three", "four", "five", "six", "seven", "eight", true, false, true)
        show(SymCCISRunInstallStub, "", "", "", "", "", "", "", "", false, true, false))");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|4294967295|nil", run.out[0]);
    EXPECT_EQ("ok|2|4294967295|nil", run.out[1]);
    auto calls = engine.Records("ris");
    ASSERT_EQ(2u, calls.size());
    const std::vector<std::string> first = {"one", "two", "three", "four", "five", "six", "seven", "eight",
                                            "1",   "0",   "1",     "0"};
    EXPECT_EQ(first, calls[0]);
    const std::vector<std::string> second = {"", "", "", "", "", "", "", "", "0", "1", "0", "0"};
    EXPECT_EQ(second, calls[1]) << "the result word starts at 0 on every call";
}

TEST(SuiteBridgeCalls, FailingResultsBecomeHresultMessages) {
    EngineFolder engine;
    ScopedEnv ccc(L"SYMCCIS_CCC_RESULT", L"80070005");
    ScopedEnv ris(L"SYMCCIS_RIS_RESULT", L"80004005");
    ScopedEnv word(L"SYMCCIS_RIS_WORD", L"7");
    ScopedEnv text(L"SYMCCIS_CCC_TEXT1", L"ignored");
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true)
        show(SymCCISRunInstallStub, )" + kStubArgs + ")");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|nil|HRESULT 80070005", run.out[0]);
    EXPECT_EQ("ok|2|nil|HRESULT 80004005", run.out[1]);
}

TEST(SuiteBridgeCalls, ExceptionsInTheLibraryBecomeUnexpectedFailures) {
    for (const wchar_t* how : {L"raise", L"av"}) {
        EngineFolder engine;
        // Every call throws; the host must survive each and keep going.
        ScopedEnv env(L"SYMCCIS_THROW", how);
        ScopedEnv word(L"SYMCCIS_RIS_WORD", L"5");
        auto run = engine.Run(std::string(kLoad) + R"(
            show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true)
            show(SymCCISRunInstallStub, )" + kStubArgs + R"()
            show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true)
            out("still running"))");
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(0u, run.exitCode) << harness::Narrow(how);
        ASSERT_EQ(4u, run.out.size()) << harness::Narrow(how);
        EXPECT_EQ("ok|2|nil|HRESULT 8000FFFF", run.out[0]);
        EXPECT_EQ("ok|2|nil|HRESULT 8000FFFF", run.out[1]);
        EXPECT_EQ("ok|2|nil|HRESULT 8000FFFF", run.out[2]);
        EXPECT_EQ("still running", run.out[3]);
        EXPECT_EQ(2u, engine.Records("ccc").size());
        EXPECT_EQ(1u, engine.Records("ris").size());
    }
}

// A library that replaced a buffer and then raised may have left either pointer freed:
// the bridge frees neither afterwards (a leak, never a second free).
TEST(SuiteBridgeCalls, BuffersAreNotFreedAfterTheLibraryRaised) {
    EngineFolder engine;
    ScopedEnv env(L"SYMCCIS_THROW", L"raise");
    ScopedEnv buffers(L"SYMCCIS_CCC_BUFFERS", L"replace1");
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true)
        out("still running"))");
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|nil|HRESULT 8000FFFF", run.out[0]);
    auto replaced = engine.Records("replace");
    ASSERT_EQ(1u, replaced.size());
    // The only free is the library's own, of the block it replaced.
    auto frees = engine.Records("free");
    ASSERT_EQ(1u, frees.size());
    EXPECT_EQ(replaced[0][1], frees[0][0]);
}

TEST(SuiteBridgeCalls, ExceptionsTheLibraryHandlesItselfStayInside) {
    // Under a user-mode emulator of 32-bit code, Wine's own guarded reads (IsBadReadPtr)
    // let their access violation escape to the next handler, so the premise fails there.
    if (::GetEnvironmentVariableW(L"INSTALLER_TESTS_EMULATED", nullptr, 0) != 0)
        GTEST_SKIP() << "the platform's own exception handling differs under emulation";
    EngineFolder engine;
    ScopedEnv env(L"SYMCCIS_THROW", L"inner");
    ScopedEnv word(L"SYMCCIS_RIS_WORD", L"9");
    ScopedEnv text(L"SYMCCIS_CCC_TEXT1", L"fine");
    auto run = engine.Run(std::string(kLoad) + R"(
        show(SymCCISCallCriteriaChecker, "a", "b", "c", 1, true)
        show(SymCCISRunInstallStub, )" + kStubArgs + ")");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|fine|", run.out[0]);
    EXPECT_EQ("ok|2|9|nil", run.out[1]);
    auto inner = engine.Records("inner");
    ASSERT_EQ(2u, inner.size());
    for (const auto& call : inner) {
        EXPECT_EQ("1", call[0]) << "the library's own handler saw its exception";
        EXPECT_EQ("1", call[1]) << "one exception was raised";
    }
}

TEST(SuiteBridgeCalls, NonAsciiTextRoundTripsThroughTheCodePage) {
    // Characters of the ANSI code page the host runs with.
    std::wstring sent = L"Gr\u00FC\u00DFe caf\u00E9 \u00C5";
    std::wstring back = L"\u00C4rger \u00F1 \u00A9";
    BOOL lost = FALSE;
    ::WideCharToMultiByte(CP_ACP, 0, sent.c_str(), -1, nullptr, 0, nullptr, &lost);
    if (lost) GTEST_SKIP() << "code page " << ::GetACP() << " lacks the test characters";

    EngineFolder engine;
    ScopedEnv text1(L"SYMCCIS_CCC_TEXT1", back);
    ScopedEnv text2(L"SYMCCIS_CCC_TEXT2", sent);
    const std::string literal = suitetest::LuaQuote(suitetest::Ansi(sent));
    auto run = engine.Run(std::string(kLoad) + "show(SymCCISCallCriteriaChecker, " + literal + ", " + literal +
                          ", " + literal + ", 3, true)\n" + "show(SymCCISRunInstallStub, " + literal +
                          R"(, "2", "3", "4", "5", "6", "7", )" + literal + ", true, true, true)");
    ASSERT_EQ(2u, run.out.size());
    EXPECT_EQ("ok|2|" + suitetest::Ansi(back) + "|" + suitetest::Ansi(sent), run.out[0]);
    auto ccc = engine.Records("ccc");
    ASSERT_EQ(1u, ccc.size());
    EXPECT_EQ(suitetest::Utf8(sent), ccc[0][0]);
    EXPECT_EQ(suitetest::Utf8(sent), ccc[0][2]);
    auto ris = engine.Records("ris");
    ASSERT_EQ(1u, ris.size());
    EXPECT_EQ(suitetest::Utf8(sent), ris[0][0]);
    EXPECT_EQ(suitetest::Utf8(sent), ris[0][7]);
}
