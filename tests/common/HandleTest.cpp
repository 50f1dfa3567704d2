#include <gtest/gtest.h>

#include "Harness.h"
#include "common/Bstr.h"
#include "common/Handle.h"

using common::UniqueHandle;

TEST(UniqueHandle, NullAndInvalidAreEmpty) {
    EXPECT_FALSE(UniqueHandle().valid());
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
}

TEST(UniqueHandle, ClosesOnResetAndKeepsOnRelease) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle h(raw);
        EXPECT_TRUE(h.valid());
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "handle should be closed";

    UniqueHandle kept(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE released = kept.release();
    EXPECT_FALSE(kept.valid());
    EXPECT_TRUE(::GetHandleInformation(released, &flags));
    ::CloseHandle(released);
}

TEST(UniqueKey, PredefinedRootIsNeverClosed) {
    {
        common::UniqueKey root(HKEY_CURRENT_USER);
    }
    common::UniqueKey k;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, k.put()));
}

TEST(Bstr, NullCountsAsEmptyAndCopiesOut) {
    common::Bstr none;
    EXPECT_STREQ(L"", none.c_str());
    EXPECT_EQ(0u, none.length());
    common::Bstr s(L"abc");
    BSTR out = nullptr;
    ASSERT_HR(S_OK, s.CopyTo(&out));
    EXPECT_STREQ(L"abc", out);
    EXPECT_NE(out, s.get());
    ::SysFreeString(out);
}
