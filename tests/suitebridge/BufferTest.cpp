// The two output buffers of SymCCISCallCriteriaChecker: what the library may do with
// them and that each block is freed exactly once. The stand-in records every free of
// the COM task allocator.
#include <gtest/gtest.h>

#include <algorithm>

#include "EngineFolder.h"

using suitetest::EngineFolder;
using suitetest::ScopedEnv;

namespace {

const char kCall[] =
    "assert(SymCCISLoadSymCCIS() == \"success\")\n"
    "show(SymCCISCallCriteriaChecker, \"a\", \"b\", \"c\", 1, true)\n";

size_t Frees(const EngineFolder& engine, const std::string& pointer) {
    auto frees = engine.Records("free");
    return std::count_if(frees.begin(), frees.end(), [&](const std::vector<std::string>& f) { return f[0] == pointer; });
}

}  // namespace

TEST(SuiteBridgeBuffers, OwnBuffersAreFreedOnceAfterEveryOutcome) {
    for (const wchar_t* result : {L"0", L"80070005"}) {
        EngineFolder engine;
        ScopedEnv hr(L"SYMCCIS_CCC_RESULT", result);
        auto run = engine.Run(kCall);
        ASSERT_EQ(1u, run.out.size());
        auto calls = engine.Records("ccc");
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(1u, Frees(engine, calls[0][5])) << harness::Narrow(result);
        EXPECT_EQ(1u, Frees(engine, calls[0][6])) << harness::Narrow(result);
    }
}

TEST(SuiteBridgeBuffers, ReplacedBufferIsReadAndFreedThroughTheNewPointer) {
    // Longer than the 1024 characters the original buffer holds.
    const std::wstring longText(3000, L'r');
    for (const wchar_t* mode : {L"replace1", L"replace2"}) {
        EngineFolder engine;
        ScopedEnv how(L"SYMCCIS_CCC_BUFFERS", mode);
        const bool first = mode == std::wstring(L"replace1");
        ScopedEnv text1(L"SYMCCIS_CCC_TEXT1", first ? longText : L"short");
        ScopedEnv text2(L"SYMCCIS_CCC_TEXT2", first ? L"short" : longText);
        auto run = engine.Run(kCall);
        ASSERT_EQ(1u, run.out.size());
        const std::string expected = first ? "ok|2|" + harness::Narrow(longText) + "|short"
                                           : "ok|2|short|" + harness::Narrow(longText);
        EXPECT_EQ(expected, run.out[0]);
        auto replaced = engine.Records("replace");
        ASSERT_EQ(1u, replaced.size());
        const std::string& before = replaced[0][1];
        const std::string& after = replaced[0][2];
        EXPECT_EQ(1u, Frees(engine, before)) << "the library's own free only";
        EXPECT_EQ(1u, Frees(engine, after));
        auto calls = engine.Records("ccc");
        ASSERT_EQ(1u, calls.size());
        const std::string& untouched = first ? calls[0][6] : calls[0][5];
        EXPECT_EQ(1u, Frees(engine, untouched));
    }
}

TEST(SuiteBridgeBuffers, OneBlockBehindBothPointersIsFreedOnce) {
    EngineFolder engine;
    ScopedEnv how(L"SYMCCIS_CCC_BUFFERS", L"same");
    ScopedEnv text1(L"SYMCCIS_CCC_TEXT1", L"shared");
    auto run = engine.Run(kCall);
    ASSERT_EQ(1u, run.out.size());
    EXPECT_EQ("ok|2|shared|shared", run.out[0]);
    auto same = engine.Records("same");
    ASSERT_EQ(1u, same.size());
    EXPECT_EQ(1u, Frees(engine, same[0][0]));
}

TEST(SuiteBridgeBuffers, ClearedPointerGivesAnEmptyText) {
    EngineFolder engine;
    ScopedEnv how(L"SYMCCIS_CCC_BUFFERS", L"null2");
    ScopedEnv text1(L"SYMCCIS_CCC_TEXT1", L"kept");
    auto run = engine.Run(kCall);
    ASSERT_EQ(1u, run.out.size());
    EXPECT_EQ("ok|2|kept|", run.out[0]);
    auto calls = engine.Records("ccc");
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(1u, Frees(engine, calls[0][5]));
    EXPECT_EQ(1u, Frees(engine, calls[0][6])) << "the library's own free only";
}

TEST(SuiteBridgeBuffers, UnterminatedBufferIsReadOnlyToItsEnd) {
    EngineFolder engine;
    ScopedEnv how(L"SYMCCIS_CCC_BUFFERS", L"fill1");
    ScopedEnv text2(L"SYMCCIS_CCC_TEXT2", L"second");
    auto run = engine.Run(kCall);
    ASSERT_EQ(1u, run.out.size());
    EXPECT_EQ("ok|2|" + std::string(1024, 'x') + "|second", run.out[0]);
}
