// Utf32beToUtf8: text through the thread's ANSI code page (Windows-1252 in this
// program's English run) and back.
#include <gtest/gtest.h>

#include "StringsTestSupport.h"

using common::Bstr;
using stringstest::Control;
using stringstest::ControlVtable;

namespace {

std::wstring Convert(IDispatch* ctl, const std::wstring& text) {
    return harness::AsString(*harness::CallOk(ctl, L"Utf32beToUtf8", {harness::Str(text)}).get());
}

}  // namespace

TEST(TextConversion, CodePageTextComesBackUnchangedTheRestReplaced) {
    ASSERT_EQ(1252u, ::GetACP());
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    const std::wstring western = L"Gr\u00fc\u00dfe \u2013 caf\u00e9 \u20ac5 \u00bfs\u00ed? \u00e5\u00e4\u00f6";
    EXPECT_EQ(western, Convert(ctl.get(), western));
    // Characters 1252 lacks: the replacement character, or the best fit.
    EXPECT_EQ(L"Spiel ??? !", Convert(ctl.get(), L"Spiel \u65e5\u672c\u8a9e !"));
    EXPECT_EQ(L"Alpha a", Convert(ctl.get(), L"Alpha \u03b1"));
    EXPECT_EQ(L"A-c", Convert(ctl.get(), L"\u0100-\u010d"));
    // Long text survives whole, and so do embedded nulls (seen through the interface:
    // a late-bound result is read up to its first null).
    std::wstring longText;
    for (int i = 0; i < 20000; ++i) longText += static_cast<wchar_t>(L'a' + i % 26);
    EXPECT_EQ(longText, Convert(ctl.get(), longText));
    auto itf = ControlVtable();
    ASSERT_TRUE(itf);
    Bstr withNull(L"a\0\u00e9\u65e5", 4);
    BSTR out = nullptr;
    ASSERT_HR(S_OK, itf->Utf32beToUtf8(withNull.get(), &out));
    EXPECT_EQ(std::wstring(L"a\0\u00e9?", 4), std::wstring(out, ::SysStringLen(out)));
    ::SysFreeString(out);
}

TEST(TextConversion, NullGivesNullAndEmptyGivesEmpty) {
    auto itf = ControlVtable();
    ASSERT_TRUE(itf);
    BSTR out = reinterpret_cast<BSTR>(1);
    EXPECT_HR(S_OK, itf->Utf32beToUtf8(nullptr, &out));
    EXPECT_EQ(nullptr, out);
    Bstr empty(L"");
    EXPECT_HR(S_OK, itf->Utf32beToUtf8(empty.get(), &out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0u, ::SysStringLen(out));
    ::SysFreeString(out);
    EXPECT_HR(E_POINTER, itf->Utf32beToUtf8(empty.get(), nullptr));
}
