#include <gtest/gtest.h>

#include "Harness.h"
#include "common/DebugLog.h"

TEST(DebugLog, ErrorShapeIsLowerHexWithoutLeadingZeros) {
    harness::DebugCapture cap;
    common::DebugError("CProcessMgr::ObtainMutex failed: ", 0x5);
    common::DebugError(L"Wide failed", 0x8007007A);
    ASSERT_TRUE(cap.WaitFor("Wide failed Error: 0x8007007a"));
    auto f = cap.Fragments();
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ("CProcessMgr::ObtainMutex failed:  Error: 0x5", f[0]);
}

TEST(DebugLog, StreamLineEndsWithLastErr) {
    harness::DebugCapture cap;
    { common::DebugLine() << "CreateProcess " << L"x.exe" << " failed" << common::LastErrSuffix(0x2a); }
    ASSERT_TRUE(cap.WaitFor("last err"));
    EXPECT_EQ("CreateProcess x.exe failed last err 0x2a", cap.Text());
    EXPECT_EQ(" last err 0", common::LastErrSuffix(0)) << "zero has no prefix, as a stream writes it";
}
