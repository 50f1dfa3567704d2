#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "common/Format.h"

// A text longer than the buffer is cut short and still terminated, never written past
// the buffer; a text that just fits is whole.
TEST(Format, TextThatDoesNotFitIsCutShortAndTerminated) {
    char narrow[8];
    std::memset(narrow, 'x', sizeof narrow);
    EXPECT_EQ(7, common::FormatText(narrow, sizeof narrow, "%s%d", "abc", 1234));
    EXPECT_STREQ("abc1234", narrow);
    char guarded[12];
    std::memset(guarded, 'x', sizeof guarded);
    EXPECT_EQ(-1, common::FormatText(guarded, 8, "%s%d", "abc", 12345));
    EXPECT_STREQ("abc1234", guarded);
    EXPECT_EQ('x', guarded[8]) << "nothing written past the given size";

    wchar_t wide[6];
    EXPECT_EQ(-1, common::FormatText(wide, 6, L"%lx", 0x12345678ul));
    EXPECT_STREQ(L"12345", wide);
    EXPECT_EQ(-1, common::FormatText(wide, 0, L"%d", 1)) << "no room at all";
    EXPECT_EQ(-1, common::FormatText(static_cast<char*>(nullptr), 4, "%d", 1));
}

// The debug lines write hexadecimal numbers with a "0x" prefix for non-zero values only,
// and negative numbers as their 32-bit pattern.
TEST(Format, HexadecimalAndDecimalAsTheDebugLinesWriteThem) {
    char text[32];
    common::FormatText(text, sizeof text, "%#lx|%#lx|%#x|%08lx", 0ul, 0x1ful, 1u, 0x5ul);
    EXPECT_STREQ("0|0x1f|0x1|00000005", text);
    common::FormatText(text, sizeof text, "%#lx", static_cast<unsigned long>(-2));
    EXPECT_STREQ("0xfffffffe", text);
    wchar_t wide[32];
    common::FormatText(wide, 32, L"%d %lu %#lx", -7, 4294967295ul, 0ul);
    EXPECT_STREQ(L"-7 4294967295 0", wide);
}
