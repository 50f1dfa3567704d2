// The HRESULTs and null strings of the registry object's soft failures, which a
// late-bound script only sees as empty results: checked through the dual interface.
#include <gtest/gtest.h>

#include "Harness.h"
#include "RegTestSupport.h"
#include "stagehand.h"

using common::Bstr;
using common::ComPtr;

namespace {

ComPtr<IRegAccess> NewRegAccess() {
    auto disp = harness::Create(L"PebbleUtil.RegAccess");
    ComPtr<IRegAccess> reg;
    if (disp) EXPECT_HR(S_OK, disp->QueryInterface(IID_IRegAccess, reg.put_void()));
    return reg;
}

}  // namespace

TEST(RegAccessResults, SoftFailuresAreSFalseWithEmptyOutValues) {
    regtest::ScratchKey key(HKEY_CURRENT_USER, L"Software", L"hr");
    regtest::CreateKey(HKEY_CURRENT_USER, key / L"only");
    auto reg = NewRegAccess();
    ASSERT_TRUE(reg);

    // No current key yet.
    ULONG number = 7;
    EXPECT_HR(S_FALSE, reg->QueryDWORDValue(nullptr, &number));
    EXPECT_EQ(0u, number);
    BSTR text = ::SysAllocString(L"stale");
    ::SysFreeString(text);
    EXPECT_HR(S_FALSE, reg->QuerySZValue(nullptr, &text));
    EXPECT_EQ(nullptr, text);
    text = reinterpret_cast<BSTR>(1);
    EXPECT_HR(S_FALSE, reg->GetSubKey(0, &text));
    EXPECT_EQ(nullptr, text);
    VARIANT v;
    V_VT(&v) = VT_I4;
    EXPECT_HR(S_OK, reg->QueryValue(nullptr, &v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));
    Bstr name(L"v"), val(L"1"), sub(L"s");
    BSTR nameP = name.get(), valP = val.get(), subP = sub.get();
    EXPECT_HR(S_FALSE, reg->CreateSubKey(&subP, &nameP, &valP, REG_SZ));

    Bstr missing((key.path() + L"\\missing").c_str());
    BSTR missingP = missing.get();
    VARIANT_BOOL opened = VARIANT_TRUE;
    EXPECT_HR(S_FALSE, reg->OpenKey(1, &missingP, &opened));
    EXPECT_EQ(VARIANT_FALSE, opened);

    Bstr path(key.path().c_str());
    BSTR pathP = path.get();
    EXPECT_HR(S_OK, reg->OpenKey(1, &pathP, &opened));
    EXPECT_EQ(VARIANT_TRUE, opened);
    EXPECT_HR(E_POINTER, reg->GetSubKey(0, nullptr));
    Bstr first;
    EXPECT_HR(S_OK, reg->GetSubKey(0, first.put()));
    EXPECT_STREQ(L"only", first.c_str());
    Bstr past;
    EXPECT_HR(S_OK, reg->GetSubKey(1, past.put()));
    EXPECT_EQ(nullptr, past.get());
    EXPECT_HR(S_FALSE, reg->QuerySZValue(nullptr, &text));
    EXPECT_EQ(nullptr, text);

    // Unknown value types write nothing and say so.
    EXPECT_HR(S_FALSE, reg->CreateSubKey(&subP, &nameP, &valP, REG_EXPAND_SZ));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, key / L"s"));
    EXPECT_HR(S_OK, reg->CreateSubKey(&subP, &nameP, &valP, REG_SZ));
    EXPECT_TRUE(harness::KeyExists(HKEY_CURRENT_USER, key / L"s"));

    // A refused empty tree name is a soft failure too.
    BSTR empty = nullptr;
    EXPECT_HR(S_FALSE, reg->RegDeleteTree(&empty));
    EXPECT_TRUE(harness::KeyExists(HKEY_CURRENT_USER, key.path()));
    Bstr tooLong((L"s\\" + std::wstring(600, L'x')).c_str());
    BSTR tooLongP = tooLong.get();
    EXPECT_HR(S_FALSE, reg->RegDeleteTree(&tooLongP));
    Bstr whole(L"s");
    BSTR wholeP = whole.get();
    EXPECT_HR(S_OK, reg->RegDeleteTree(&wholeP));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, key / L"s"));
}
