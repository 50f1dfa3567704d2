// The registry object's key selection and reads, called by name the way the
// installer script calls it, against the real registry.
#include <gtest/gtest.h>

#include "Harness.h"
#include "RegTestSupport.h"

using common::ComPtr;
using common::Variant;
using harness::Call;
using harness::CallOk;
using harness::I4;
using harness::Str;
using regtest::ScratchKey;

namespace {

const wchar_t kProgId[] = L"PebbleUtil.RegAccess";
const wchar_t kCuParent[] = L"Software";

bool Open(IDispatch* reg, LONG root, const std::wstring& subkey) {
    Variant r;
    EXPECT_HR(S_OK, Call(reg, L"OpenKey", {I4(root), Str(subkey)}, r.get()));
    EXPECT_EQ(VT_BOOL, r.vt());
    return r.vt() == VT_BOOL && V_BOOL(r.get()) == VARIANT_TRUE;
}

// QuerySZValue's text; a failed read reaches a script as the empty string.
std::wstring Sz(IDispatch* reg, const wchar_t* name) {
    Variant r;
    EXPECT_HR(S_OK, Call(reg, L"QuerySZValue", {Str(name)}, r.get()));
    EXPECT_EQ(VT_BSTR, r.vt());
    if (r.vt() != VT_BSTR) return L"<not a string>";
    return V_BSTR(r.get()) ? V_BSTR(r.get()) : L"";
}

ULONG Dword(IDispatch* reg, const wchar_t* name) {
    Variant r;
    EXPECT_HR(S_OK, Call(reg, L"QueryDWORDValue", {Str(name)}, r.get()));
    EXPECT_EQ(VT_UI4, r.vt());
    return r.vt() == VT_UI4 ? V_UI4(r.get()) : 0xDEADBEEF;
}

std::wstring SubKeyAt(IDispatch* reg, LONG index) {
    Variant r;
    EXPECT_HR(S_OK, Call(reg, L"GetSubKey", {I4(index)}, r.get()));
    EXPECT_EQ(VT_BSTR, r.vt());
    if (r.vt() != VT_BSTR) return L"<not a string>";
    return V_BSTR(r.get()) ? V_BSTR(r.get()) : L"";
}

}  // namespace

TEST(RegAccessOpenKey, RootCodesSelectClassesUserAndMachine) {
    // One key per root, each unique, with a value naming its root.
    const std::wstring classes = regtest::UniqueName(L"StagehandRegTest");
    regtest::KeyGuard guard(HKEY_CLASSES_ROOT, classes);
    regtest::WriteString(HKEY_CLASSES_ROOT, classes, L"root", L"classes");
    ScratchKey user(HKEY_CURRENT_USER, kCuParent, L"root");
    regtest::WriteString(HKEY_CURRENT_USER, user.path(), L"root", L"user");
    ScratchKey machine(HKEY_LOCAL_MACHINE, L"Software", L"root");
    regtest::WriteString(HKEY_LOCAL_MACHINE, machine.path(), L"root", L"machine");

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    for (LONG code : {0, 3, -1, 7}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(Open(reg.get(), code, classes));
        EXPECT_EQ(L"classes", Sz(reg.get(), L"root"));
        EXPECT_FALSE(Open(reg.get(), code, user.path()));
    }
    ASSERT_TRUE(Open(reg.get(), 1, user.path()));
    EXPECT_EQ(L"user", Sz(reg.get(), L"root"));
    EXPECT_FALSE(Open(reg.get(), 1, machine.path()));
    EXPECT_FALSE(Open(reg.get(), 1, classes));
    ASSERT_TRUE(Open(reg.get(), 2, machine.path()));
    EXPECT_EQ(L"machine", Sz(reg.get(), L"root"));
    EXPECT_FALSE(Open(reg.get(), 2, user.path()));
}

TEST(RegAccessOpenKey, FailedOpenLeavesNoCurrentKey) {
    ScratchKey key(HKEY_CURRENT_USER, kCuParent, L"fail");
    const DWORD n = 42;
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"n", REG_DWORD, &n, sizeof n);
    regtest::CreateKey(HKEY_CURRENT_USER, key / L"child");

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));
    EXPECT_EQ(42u, Dword(reg.get(), L"n"));

    const std::wstring missing = key / L"missing";
    {
        harness::DebugCapture debug;
        EXPECT_FALSE(Open(reg.get(), 1, missing));
        EXPECT_TRUE(debug.WaitFor("CRegAccess::RegOpenKeyEx failed. subkey:" + harness::Narrow(missing)))
            << debug.Text();
    }
    // Every key-relative method now finds no key.
    EXPECT_EQ(0u, Dword(reg.get(), L"n"));
    EXPECT_EQ(L"", Sz(reg.get(), L"n"));
    EXPECT_EQ(L"", SubKeyAt(reg.get(), 0));
    Variant multi = CallOk(reg.get(), L"QueryValue", {Str(L"n")});
    EXPECT_EQ(VT_EMPTY, multi.vt());

    // A script may move on to another key at any time.
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));
    EXPECT_EQ(L"child", SubKeyAt(reg.get(), 0));
}

TEST(RegAccessQueryValue, MultiStringsBecomeArraysWithoutEmptyStrings) {
    ScratchKey key(HKEY_CURRENT_USER, kCuParent, L"multi");
    const wchar_t twoStrings[] = {L'a', 0, 0, L'b', 0, 0};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"two", REG_MULTI_SZ, twoStrings, sizeof twoStrings);
    const wchar_t onlyEnd[] = {0, 0};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"none", REG_MULTI_SZ, onlyEnd, sizeof onlyEnd);
    regtest::WriteString(HKEY_CURRENT_USER, key.path(), L"sz", L"abc");
    regtest::WriteString(HKEY_CURRENT_USER, key.path(), L"", L"default");
    // Five bytes: two whole characters and half of a third.
    const char odd[] = {'x', 0, 'y', 0, 'z'};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"odd", REG_BINARY, odd, sizeof odd);

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    // Before any OpenKey there is nothing to read.
    EXPECT_EQ(VT_EMPTY, CallOk(reg.get(), L"QueryValue", {Str(L"two")}).vt());
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));

    LONG lower = -1;
    Variant two = CallOk(reg.get(), L"QueryValue", {Str(L"two")});
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), regtest::Strings(*two.get(), &lower));
    EXPECT_EQ(0, lower);
    EXPECT_EQ(VT_EMPTY, CallOk(reg.get(), L"QueryValue", {Str(L"none")}).vt());
    Variant sz = CallOk(reg.get(), L"QueryValue", {Str(L"sz")});
    EXPECT_EQ(std::vector<std::wstring>{L"abc"}, regtest::Strings(*sz.get()));
    Variant def = CallOk(reg.get(), L"QueryValue", {Str(L"")});
    EXPECT_EQ(std::vector<std::wstring>{L"default"}, regtest::Strings(*def.get()));
    Variant odd2 = CallOk(reg.get(), L"QueryValue", {Str(L"odd")});
    EXPECT_EQ(std::vector<std::wstring>{L"xy"}, regtest::Strings(*odd2.get()));
    EXPECT_EQ(VT_EMPTY, CallOk(reg.get(), L"QueryValue", {Str(L"missing")}).vt());
}

TEST(RegAccessQuerySZValue, TextUpToTheFirstNulWhateverTheType) {
    ScratchKey key(HKEY_CURRENT_USER, kCuParent, L"sz");
    regtest::WriteString(HKEY_CURRENT_USER, key.path(), L"text", L"hello");
    const wchar_t unterminated[] = {L'h', L'i'};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"bare", REG_SZ, unterminated, sizeof unterminated);
    const wchar_t twoParts[] = {L'o', L'n', L'e', 0, L't', L'w', L'o', 0, 0};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"multi", REG_MULTI_SZ, twoParts, sizeof twoParts);
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"empty", REG_SZ, L"", 0);

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    EXPECT_EQ(L"", Sz(reg.get(), L"text"));
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));
    EXPECT_EQ(L"hello", Sz(reg.get(), L"text"));
    EXPECT_EQ(L"hi", Sz(reg.get(), L"bare"));
    EXPECT_EQ(L"one", Sz(reg.get(), L"multi"));
    EXPECT_EQ(L"", Sz(reg.get(), L"empty"));
    EXPECT_EQ(L"", Sz(reg.get(), L"missing"));
}

TEST(RegAccessQueryDWORDValue, UpToFourBytesAsLittleEndianNumber) {
    ScratchKey key(HKEY_CURRENT_USER, kCuParent, L"dword");
    const DWORD big = 0xFEDCBA98;
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"dword", REG_DWORD, &big, sizeof big);
    const ULONGLONG eight = 5;
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"qword", REG_QWORD, &eight, sizeof eight);
    const BYTE two[] = {0x34, 0x12};
    regtest::WriteRaw(HKEY_CURRENT_USER, key.path(), L"two", REG_BINARY, two, sizeof two);

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    EXPECT_EQ(0u, Dword(reg.get(), L"dword"));
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));
    EXPECT_EQ(0xFEDCBA98u, Dword(reg.get(), L"dword"));
    EXPECT_EQ(0u, Dword(reg.get(), L"qword"));
    EXPECT_EQ(0x1234u, Dword(reg.get(), L"two"));
    EXPECT_EQ(0u, Dword(reg.get(), L"missing"));
}

TEST(RegAccessGetSubKey, CountsUpUntilTheEmptyName) {
    ScratchKey key(HKEY_CURRENT_USER, kCuParent, L"enum");
    regtest::CreateKey(HKEY_CURRENT_USER, key / L"first");
    regtest::CreateKey(HKEY_CURRENT_USER, key / L"second");
    regtest::CreateKey(HKEY_CURRENT_USER, key / L"second\\deeper");

    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);
    ASSERT_TRUE(Open(reg.get(), 1, key.path()));
    std::vector<std::wstring> names;
    for (LONG i = 0; i < 10; ++i) {
        std::wstring name = SubKeyAt(reg.get(), i);
        if (name.empty()) break;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second"}), names);
    EXPECT_EQ(L"", SubKeyAt(reg.get(), 2));
    EXPECT_EQ(L"", SubKeyAt(reg.get(), -1));
}
