// The registry object's writes and deletes below the open key, called by name the
// way the installer script calls it, checked with the registry API.
#include <gtest/gtest.h>

#include "Harness.h"
#include "RegTestSupport.h"
#include "common/Handle.h"

using common::Variant;
using harness::Call;
using harness::I4;
using harness::Str;
using harness::UI4;
using regtest::Bytes;
using harness::CallScode;
using regtest::RawValue;
using regtest::ScratchKey;

namespace {

const wchar_t kProgId[] = L"PebbleUtil.RegAccess";
const wchar_t kParent[] = L"Software";

// A registry object with its current key on a fresh scratch key.
struct Opened {
    explicit Opened(const wchar_t* tag) : key(HKEY_CURRENT_USER, kParent, tag), reg(harness::Create(kProgId)) {
        Variant r;
        EXPECT_HR(S_OK, Call(reg.get(), L"OpenKey", {I4(1), Str(key.path())}, r.get()));
        EXPECT_EQ(VARIANT_TRUE, V_BOOL(r.get()));
    }
    RawValue Value(const std::wstring& sub, const std::wstring& name) const {
        RawValue v;
        EXPECT_TRUE(regtest::ReadRaw(HKEY_CURRENT_USER, key / sub, name, v)) << harness::Narrow(sub + L":" + name);
        return v;
    }
    bool HasValue(const std::wstring& sub, const std::wstring& name) const {
        RawValue v;
        return regtest::ReadRaw(HKEY_CURRENT_USER, key / sub, name, v);
    }
    bool Exists(const std::wstring& sub) const { return harness::KeyExists(HKEY_CURRENT_USER, key / sub); }

    ScratchKey key;
    common::ComPtr<IDispatch> reg;
};

std::vector<BYTE> Utf16Bytes(const wchar_t* chars, size_t count) {
    const BYTE* p = reinterpret_cast<const BYTE*>(chars);
    return std::vector<BYTE>(p, p + count * sizeof(wchar_t));
}

std::vector<BYTE> DwordBytes(DWORD v) { return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)}); }

}  // namespace

TEST(RegAccessCreateSubKey, HexTextBecomesBinaryTwoDigitsPerByte) {
    Opened o(L"bin");
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"sub"), Str(L"mixed"), Str(L"0aFf"), UI4(3)}));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"sub"), Str(L"odd"), Str(L"abc"), UI4(3)}));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"sub"), Str(L"empty"), Str(L""), UI4(3)}));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"sub\\deep"), Str(L"long"), Str(L"00112233445566778899"), UI4(3)}));

    RawValue v = o.Value(L"sub", L"mixed");
    EXPECT_EQ(DWORD(REG_BINARY), v.type);
    EXPECT_EQ(Bytes({0x0A, 0xFF}), v.data);
    v = o.Value(L"sub", L"odd");
    EXPECT_EQ(DWORD(REG_BINARY), v.type);
    EXPECT_EQ(Bytes({0xAB}), v.data);
    v = o.Value(L"sub", L"empty");
    EXPECT_EQ(DWORD(REG_BINARY), v.type);
    EXPECT_TRUE(v.data.empty());
    v = o.Value(L"sub\\deep", L"long");
    EXPECT_EQ(Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}), v.data);
}

TEST(RegAccessCreateSubKey, NumbersParseLikeWcstolAndClamp) {
    Opened o(L"dword");
    const struct {
        const wchar_t* name;
        const wchar_t* text;
        DWORD stored;
    } cases[] = {
        {L"neg", L"  -12x", 0xFFFFFFF4u},  {L"max", L"99999999999", 0x7FFFFFFFu},
        {L"min", L"-99999999999", 0x80000000u}, {L"plus", L"+77", 77u},
        {L"none", L"x12", 0u},               {L"empty", L"", 0u},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(harness::Narrow(c.name));
        EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"n"), Str(c.name), Str(c.text), UI4(4)}));
        RawValue v = o.Value(L"n", c.name);
        EXPECT_EQ(DWORD(REG_DWORD), v.type);
        EXPECT_EQ(DwordBytes(c.stored), v.data);
    }
}

TEST(RegAccessCreateSubKey, StringsKeepTheirNulAndOtherTypesWriteNothing) {
    Opened o(L"sz");
    BSTR byRef = ::SysAllocString(L"by reference");
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"s"), Str(L"text"), harness::Ref(&byRef), UI4(1)}));
    ::SysFreeString(byRef);
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"s"), Str(L""), Str(L"default"), UI4(1)}));
    RawValue v = o.Value(L"s", L"text");
    EXPECT_EQ(DWORD(REG_SZ), v.type);
    EXPECT_EQ(Utf16Bytes(L"by reference", 13), v.data);
    v = o.Value(L"s", L"");
    EXPECT_EQ(Utf16Bytes(L"default", 8), v.data);

    // REG_EXPAND_SZ, REG_MULTI_SZ and unknown codes: no key, no value.
    for (ULONG type : {2u, 7u, 11u, 0u}) {
        SCOPED_TRACE(type);
        EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"other"), Str(L"v"), Str(L"1"), UI4(type)}));
        EXPECT_FALSE(o.Exists(L"other"));
    }

    // Without an open key nothing is written anywhere.
    auto fresh = harness::Create(kProgId);
    EXPECT_HR(S_OK, Call(fresh.get(), L"CreateSubKey", {Str(o.key / L"unopened"), Str(L"v"), Str(L"1"), UI4(1)}));
    EXPECT_FALSE(o.Exists(L"unopened"));
}

TEST(RegAccessCreateMLSubKey, ScriptArraysFromIndexOne) {
    Opened o(L"ml");
    // The engine's arrays arrive with lower bound 1.
    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey",
                           {Str(L"m"), Str(L"xy"), regtest::VariantArray(1, {Str(L"x"), Str(L"y")}), UI4(7)}));
    RawValue v = o.Value(L"m", L"xy");
    EXPECT_EQ(DWORD(REG_MULTI_SZ), v.type);
    const wchar_t xy[] = {L'x', 0, L'y', 0, 0};
    EXPECT_EQ(Utf16Bytes(xy, 5), v.data);
    EXPECT_EQ(10u, v.data.size());

    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey", {Str(L"m"), Str(L"empty"), regtest::VariantArray(1, {}), UI4(7)}));
    v = o.Value(L"m", L"empty");
    EXPECT_EQ(DWORD(REG_MULTI_SZ), v.type);
    EXPECT_EQ(Bytes({0, 0}), v.data);

    // Empty elements give a lone NUL each; numbers are written as their text; the
    // array may also come by reference.
    Variant arr;
    *arr.get() = regtest::VariantArray(1, {Str(L""), I4(42), Str(L"z")});
    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey", {Str(L"m"), Str(L"mixed"), harness::RefVar(arr.get()), UI4(7)}));
    v = o.Value(L"m", L"mixed");
    const wchar_t mixed[] = {0, L'4', L'2', 0, L'z', 0, 0};
    EXPECT_EQ(Utf16Bytes(mixed, 7), v.data);

    // QueryValue reads back what was written.
    Variant back;
    ASSERT_HR(S_OK, Call(o.reg.get(), L"OpenKey", {I4(1), Str(o.key / L"m")}, back.get()));
    Variant read = harness::CallOk(o.reg.get(), L"QueryValue", {Str(L"xy")});
    EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), regtest::Strings(*read.get()));
}

TEST(RegAccessCreateMLSubKey, RefusedArraysAndTypesWriteNothing) {
    Opened o(L"mlbad");
    // VBScript passes zero-based arrays: index 2 lies outside a two-element array.
    EXPECT_HR(E_INVALIDARG, CallScode(o.reg.get(), L"CreateMLSubKey",
                                   {Str(L"m"), Str(L"v"), regtest::VariantArray(0, {Str(L"x"), Str(L"y")}), UI4(7)}));
    EXPECT_HR(E_INVALIDARG, CallScode(o.reg.get(), L"CreateMLSubKey", {Str(L"m"), Str(L"v"), Str(L"x"), UI4(7)}));
    EXPECT_HR(E_INVALIDARG, CallScode(o.reg.get(), L"CreateMLSubKey",
                                   {Str(L"m"), Str(L"v"), regtest::BstrArray({L"x", L"y"}), UI4(7)}));
    EXPECT_HR(E_INVALIDARG, CallScode(o.reg.get(), L"CreateMLSubKey",
                                   {Str(L"m"), Str(L"v"), regtest::VariantArray(1, {Str(L"x"), regtest::Null()}), UI4(7)}));
    EXPECT_FALSE(o.Exists(L"m"));

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey",
                           {Str(L"m"), Str(L"v"), regtest::VariantArray(1, {Str(L"x")}), UI4(1)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::CreateMLSubKey wrong type")) << debug.Text();
    EXPECT_FALSE(o.Exists(L"m"));

    auto fresh = harness::Create(kProgId);
    EXPECT_HR(S_OK, CallScode(fresh.get(), L"CreateMLSubKey",
                           {Str(L"m"), Str(L"v"), regtest::VariantArray(1, {Str(L"x")}), UI4(7)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::CreateMLSubKey root not open")) << debug.Text();
}

TEST(RegAccessCreateMLSubKey, FailuresUnderADeletedKeyAreLogged) {
    Opened o(L"mlgone");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"victim");
    Variant r;
    ASSERT_HR(S_OK, Call(o.reg.get(), L"OpenKey", {I4(1), Str(o.key / L"victim")}, r.get()));
    ASSERT_EQ(VARIANT_TRUE, V_BOOL(r.get()));
    regtest::DeleteTree(HKEY_CURRENT_USER, o.key / L"victim");

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey",
                           {Str(L"sub"), Str(L"v"), regtest::VariantArray(1, {Str(L"x")}), UI4(7)}));
    // ERROR_KEY_DELETED, 1018.
    EXPECT_TRUE(debug.WaitFor("CRegAccess::CreateMLSubKey RegCreateKeyEx failed: sub Error: 0x3fa")) << debug.Text();
    EXPECT_HR(S_OK, Call(o.reg.get(), L"CreateSubKey", {Str(L"sub"), Str(L"v"), Str(L"1"), UI4(1)}));
    EXPECT_FALSE(o.Exists(L"victim"));
}

TEST(RegAccessCreateMLSubKey, ValueWriteFailureIsLogged) {
    Opened o(L"mlset");
    // A value name beyond the registry's limit of 16383 characters.
    const std::wstring tooLong(20000, L'n');
    harness::DebugCapture debug;
    EXPECT_HR(S_OK, CallScode(o.reg.get(), L"CreateMLSubKey",
                           {Str(L"sub"), Str(tooLong), regtest::VariantArray(1, {Str(L"x")}), UI4(7)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::CreateMLSubKey RegSetValueEx failed:  Error: 0x")) << debug.Text();
    EXPECT_TRUE(regtest::ValueNames(HKEY_CURRENT_USER, o.key / L"sub").empty());
}

TEST(RegAccessDeleteKey, LeafKeysAndValuesGoKeysWithSubkeysStay) {
    Opened o(L"del");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"leaf");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"parent\\child");
    regtest::WriteString(HKEY_CURRENT_USER, o.key.path(), L"value", L"v");
    regtest::WriteString(HKEY_CURRENT_USER, o.key.path(), L"", L"default");

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"leaf")}));
    EXPECT_FALSE(o.Exists(L"leaf"));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"value")}));
    EXPECT_FALSE(o.HasValue(L"", L"value"));

    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"parent")}));
    EXPECT_TRUE(o.Exists(L"parent\\child"));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::DeleteKey RegDeleteKey failed. Key: parent Error: 0x5")) << debug.Text();

    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"nothing")}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::DeleteKey RegDeleteKey failed. Key: nothing Error: 0x2")) << debug.Text();

    // The empty name is the default value, never the open key itself.
    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"")}));
    EXPECT_TRUE(harness::KeyExists(HKEY_CURRENT_USER, o.key.path()));
    EXPECT_FALSE(o.HasValue(L"", L""));
}

TEST(RegAccessDeleteKey, WithoutKeyOrUnderADeletedKeyOnlyLogs) {
    Opened o(L"delgone");
    harness::DebugCapture debug;
    auto fresh = harness::Create(kProgId);
    EXPECT_HR(S_OK, Call(fresh.get(), L"DeleteKey", {Str(L"x")}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::DeleteKey root not open")) << debug.Text();

    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"victim");
    Variant r;
    ASSERT_HR(S_OK, Call(o.reg.get(), L"OpenKey", {I4(1), Str(o.key / L"victim")}, r.get()));
    regtest::DeleteTree(HKEY_CURRENT_USER, o.key / L"victim");
    EXPECT_HR(S_OK, Call(o.reg.get(), L"DeleteKey", {Str(L"v")}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::DeleteKey RegDeleteValue failed. Key: v Error: 0x3fa")) << debug.Text();
}

TEST(RegAccessRegDeleteTree, WholeTreesGoMissingKeysAreReported) {
    Opened o(L"tree");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"top\\mid1\\leaf1");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"top\\mid1\\leaf2");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"top\\mid2\\leaf3");
    regtest::WriteString(HKEY_CURRENT_USER, o.key / L"top\\mid1\\leaf1", L"v", L"x");
    regtest::WriteString(HKEY_CURRENT_USER, o.key / L"top", L"v", L"x");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"sibling");

    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"top")}));
    EXPECT_FALSE(o.Exists(L"top"));
    EXPECT_TRUE(o.Exists(L"sibling"));
    EXPECT_TRUE(harness::KeyExists(HKEY_CURRENT_USER, o.key.path()));

    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"a\\b\\c");
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"a\\b")}));
    EXPECT_FALSE(o.Exists(L"a\\b"));
    EXPECT_TRUE(o.Exists(L"a"));

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"missing")}));
    EXPECT_TRUE(debug.WaitFor("RegDelnodeRecurse Key not found:missing")) << debug.Text();

    auto fresh = harness::Create(kProgId);
    EXPECT_HR(S_OK, Call(fresh.get(), L"RegDeleteTree", {Str(L"sibling")}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::RegDeleteTree root not open")) << debug.Text();
    EXPECT_TRUE(o.Exists(L"sibling"));
}

TEST(RegAccessRegDeleteTree, EmptyNameDeletesNothing) {
    Opened o(L"treeempty");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"keep\\below");
    regtest::WriteString(HKEY_CURRENT_USER, o.key.path(), L"v", L"x");
    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"")}));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(static_cast<const wchar_t*>(nullptr))}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::RegDeleteTree empty key name, nothing deleted")) << debug.Text();
    EXPECT_TRUE(o.Exists(L"keep\\below"));
    EXPECT_TRUE(o.HasValue(L"", L"v"));
}

TEST(RegAccessRegDeleteTree, PathsBeyondTheBufferAreNeverCut) {
    Opened o(L"treelong");
    // A name longer than the 519 characters the path buffer holds is refused, not
    // cut short into the name of some other key.
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"k\\child");
    harness::DebugCapture debug;
    std::wstring longName = L"k\\" + std::wstring(600, L'x');
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(longName)}));
    EXPECT_TRUE(debug.WaitFor("RegDelnodeRecurse path too long:")) << debug.Text();
    EXPECT_TRUE(o.Exists(L"k\\child"));

    // A tree whose deepest path outgrows the buffer stays whole.
    debug.Clear();
    const std::wstring a(200, L'a'), b(200, L'b'), c(200, L'c');
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / (L"deep\\" + a + L"\\" + b + L"\\" + c));
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"deep")}));
    EXPECT_TRUE(debug.WaitFor("RegDelnodeRecurse path too long:deep\\" + harness::Narrow(a + L"\\" + b + L"\\")))
        << debug.Text();
    EXPECT_TRUE(o.Exists(L"deep\\" + a + L"\\" + b + L"\\" + c));
}

TEST(RegAccessRegDeleteTree, AKeyThatCannotBeOpenedStopsTheLevelsAbove) {
    Opened o(L"treelocked");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"top\\locked");
    regtest::CreateKey(HKEY_CURRENT_USER, o.key / L"top\\locked\\inner");
    // An empty DACL: nobody may read or delete the key; its owner may still
    // change the DACL, which puts it back at the end.
    {
        common::UniqueKey k;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegOpenKeyExW(HKEY_CURRENT_USER, (o.key / L"top\\locked").c_str(), 0, WRITE_DAC, k.put()));
        SECURITY_DESCRIPTOR sd;
        ACL acl;
        ASSERT_TRUE(::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(::InitializeAcl(&acl, sizeof acl, ACL_REVISION));
        ASSERT_TRUE(::SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, &sd));
    }
    struct Unlock {
        std::wstring path;
        ~Unlock() {
            common::UniqueKey k;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, k.put()) != ERROR_SUCCESS) return;
            SECURITY_DESCRIPTOR sd;
            ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
            ::SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);  // a null DACL allows everything
            ::RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, &sd);
        }
    } unlock{o.key / L"top\\locked"};
    {
        common::UniqueKey probe;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, (o.key / L"top\\locked").c_str(), 0, KEY_READ, probe.put()) ==
            ERROR_SUCCESS)
            GTEST_SKIP() << "this platform does not enforce registry key permissions";
    }

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(o.reg.get(), L"RegDeleteTree", {Str(L"top")}));
    EXPECT_TRUE(debug.WaitFor("RegDelnodeRecurse Error opening key:top\\locked Error: 0x5")) << debug.Text();
    EXPECT_TRUE(o.Exists(L"top"));
}
