// File-type associations and MIME mappings written under HKEY_CLASSES_ROOT; every
// key the tests touch is put back as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "Harness.h"
#include "RegTestSupport.h"

using harness::Bool;
using harness::Call;
using harness::Str;
using regtest::Bytes;
using regtest::KeyGuard;
using regtest::RawValue;

namespace {

const wchar_t kProgId[] = L"PebbleUtil.RegAccess";

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::wstring Default(const std::wstring& path) { return harness::StringValue(HKEY_CLASSES_ROOT, path); }

}  // namespace

// Both writers use the extension .xyz, so they run one after the other.
TEST(RegAccessClassesRoot, ProgramTypeAndMimeTypeWriteExactlyTheirKeys) {
    {
        KeyGuard ext(HKEY_CLASSES_ROOT, L".xyz");
        KeyGuard progId(HKEY_CLASSES_ROOT, L"Playdeck.xyz");
        auto reg = harness::Create(kProgId);
        ASSERT_TRUE(reg);

        EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType", {Str(L"C:\\a.exe"), Str(L""), Str(L"xyz"), Bool(false)}));
        EXPECT_EQ(std::vector<std::wstring>{L""}, regtest::ValueNames(HKEY_CLASSES_ROOT, L".xyz"));
        EXPECT_TRUE(harness::SubKeys(HKEY_CLASSES_ROOT, L".xyz").empty());
        EXPECT_EQ(L"Playdeck.xyz", Default(L".xyz"));
        EXPECT_TRUE(regtest::ValueNames(HKEY_CLASSES_ROOT, L"Playdeck.xyz").empty());
        EXPECT_EQ(std::vector<std::wstring>{L"shell"}, harness::SubKeys(HKEY_CLASSES_ROOT, L"Playdeck.xyz"));
        EXPECT_EQ(std::vector<std::wstring>{L"Open"}, harness::SubKeys(HKEY_CLASSES_ROOT, L"Playdeck.xyz\\shell"));
        const std::wstring command = L"Playdeck.xyz\\shell\\Open\\command";
        EXPECT_EQ(std::vector<std::wstring>{L""}, regtest::ValueNames(HKEY_CLASSES_ROOT, command));
        RawValue v;
        ASSERT_TRUE(regtest::ReadRaw(HKEY_CLASSES_ROOT, command, L"", v));
        EXPECT_EQ(DWORD(REG_SZ), v.type);
        EXPECT_EQ(L"\"C:\\a.exe\" \"%1\"", Default(command));

        // An argument goes in quotes before the file placeholder; the strings may also
        // come by reference.
        BSTR program = ::SysAllocString(L"C:\\a.exe");
        EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType",
                             {harness::Ref(&program), Str(L"/s"), Str(L"xyz"), Bool(false)}));
        ::SysFreeString(program);
        EXPECT_EQ(L"\"C:\\a.exe\" \"/s\" \"%1\"", Default(command));
        EXPECT_TRUE(regtest::ValueNames(HKEY_CLASSES_ROOT, L"Playdeck.xyz").empty());

        EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType", {Str(L"C:\\a.exe"), Str(L""), Str(L"xyz"), Bool(true)}));
        ASSERT_TRUE(regtest::ReadRaw(HKEY_CLASSES_ROOT, L"Playdeck.xyz", L"EditFlags", v));
        EXPECT_EQ(DWORD(REG_BINARY), v.type);
        EXPECT_EQ(Bytes({0x00, 0x00, 0x01, 0x00}), v.data);
        EXPECT_EQ(std::vector<std::wstring>{L"EditFlags"}, regtest::ValueNames(HKEY_CLASSES_ROOT, L"Playdeck.xyz"));
    }
    {
        const std::wstring mimeKey = L"MIME\\Database\\Content Type\\application/x-xyz";
        KeyGuard ext(HKEY_CLASSES_ROOT, L".xyz");
        KeyGuard mime(HKEY_CLASSES_ROOT, mimeKey);
        auto reg = harness::Create(kProgId);
        ASSERT_TRUE(reg);

        EXPECT_HR(S_OK, Call(reg.get(), L"RegMimeType", {Str(L".xyz"), Str(L"application/x-xyz")}));
        EXPECT_EQ(std::vector<std::wstring>{L"Content Type"}, regtest::ValueNames(HKEY_CLASSES_ROOT, L".xyz"));
        EXPECT_EQ(L"application/x-xyz", harness::StringValue(HKEY_CLASSES_ROOT, L".xyz", L"Content Type"));
        EXPECT_TRUE(harness::SubKeys(HKEY_CLASSES_ROOT, L".xyz").empty());
        EXPECT_EQ(std::vector<std::wstring>{L"Extension"}, regtest::ValueNames(HKEY_CLASSES_ROOT, mimeKey));
        EXPECT_EQ(L".xyz", harness::StringValue(HKEY_CLASSES_ROOT, mimeKey, L"Extension"));
        EXPECT_TRUE(harness::SubKeys(HKEY_CLASSES_ROOT, mimeKey).empty());
        RawValue v;
        ASSERT_TRUE(regtest::ReadRaw(HKEY_CLASSES_ROOT, mimeKey, L"Extension", v));
        EXPECT_EQ(DWORD(REG_SZ), v.type);
    }
}

TEST(RegAccessInstallProgramType, OverLongTypesAreRefusedWhole) {
    // "Playdeck." and the type must fit 99 characters: 90 is the longest type.
    const std::wstring longest = L"t" + std::to_wstring(::GetCurrentProcessId()) + L"x";
    const std::wstring fits = longest + std::wstring(90 - longest.size(), L'f');
    const std::wstring tooLong = longest + std::wstring(91 - longest.size(), L'l');
    KeyGuard g1(HKEY_CLASSES_ROOT, L"." + fits), g2(HKEY_CLASSES_ROOT, L"Playdeck." + fits);
    KeyGuard g3(HKEY_CLASSES_ROOT, L"." + tooLong), g4(HKEY_CLASSES_ROOT, L"Playdeck." + tooLong);
    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType", {Str(L"C:\\b.exe"), Str(L""), Str(tooLong), Bool(true)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::InstallProgramType type too long: " + harness::Narrow(tooLong)))
        << debug.Text();
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L"." + tooLong));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L"Playdeck." + tooLong));

    EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType", {Str(L"C:\\b.exe"), Str(L""), Str(fits), Bool(false)}));
    EXPECT_EQ(L"Playdeck." + fits, Default(L"." + fits));
    EXPECT_EQ(L"\"C:\\b.exe\" \"%1\"", Default(L"Playdeck." + fits + L"\\shell\\Open\\command"));
}

TEST(RegAccessRegMimeType, OverLongMimeTypesAreRefusedWhole) {
    // "MIME\Database\Content Type\" and the type must fit 99 characters: 72 is the longest.
    const std::wstring ext = L".m" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring head = L"application/x-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring fits = head + std::wstring(72 - head.size(), L'f');
    const std::wstring tooLong = head + std::wstring(73 - head.size(), L'l');
    const std::wstring prefix = L"MIME\\Database\\Content Type\\";
    KeyGuard g1(HKEY_CLASSES_ROOT, ext), g2(HKEY_CLASSES_ROOT, prefix + fits), g3(HKEY_CLASSES_ROOT, prefix + tooLong);
    auto reg = harness::Create(kProgId);
    ASSERT_TRUE(reg);

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(reg.get(), L"RegMimeType", {Str(ext), Str(tooLong)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::RegMimeType MIME type too long: " + harness::Narrow(tooLong)))
        << debug.Text();
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, ext));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, prefix + tooLong));

    EXPECT_HR(S_OK, Call(reg.get(), L"RegMimeType", {Str(ext), Str(fits)}));
    EXPECT_EQ(fits, harness::StringValue(HKEY_CLASSES_ROOT, ext, L"Content Type"));
    EXPECT_EQ(ext, harness::StringValue(HKEY_CLASSES_ROOT, prefix + fits, L"Extension"));
}

// Empty names would write on HKEY_CLASSES_ROOT itself ("Content Type" on the root, a key
// named "."), or on the MIME database key: refused, nothing written.
TEST(RegAccessRegMimeType, EmptyNamesAreRefused) {
    auto reg = harness::Create(L"PebbleUtil.RegAccess");
    ASSERT_TRUE(reg);
    const std::wstring database = L"MIME\\Database\\Content Type";
    const std::wstring rootBefore = harness::StringValue(HKEY_CLASSES_ROOT, L"", L"Content Type");
    const std::wstring databaseBefore = harness::StringValue(HKEY_CLASSES_ROOT, database, L"Extension");
    const bool dotBefore = harness::KeyExists(HKEY_CLASSES_ROOT, L".");

    harness::DebugCapture debug;
    EXPECT_HR(S_OK, Call(reg.get(), L"RegMimeType", {Str(L""), Str(L"application/x-game")}));
    EXPECT_HR(S_OK, Call(reg.get(), L"RegMimeType", {Str(L".gme"), Str(L"")}));
    EXPECT_HR(S_OK, Call(reg.get(), L"InstallProgramType", {Str(L"C:\\b.exe"), Str(L""), Str(L""), Bool(true)}));
    EXPECT_TRUE(debug.WaitFor("CRegAccess::InstallProgramType empty type, nothing written")) << debug.Text();
    EXPECT_NE(std::string::npos, debug.Text().find("CRegAccess::RegMimeType empty extension or MIME type, nothing written"));

    EXPECT_EQ(rootBefore, harness::StringValue(HKEY_CLASSES_ROOT, L"", L"Content Type"));
    EXPECT_EQ(databaseBefore, harness::StringValue(HKEY_CLASSES_ROOT, database, L"Extension"));
    EXPECT_EQ(dotBefore, harness::KeyExists(HKEY_CLASSES_ROOT, L"."));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L"Playdeck."));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L".gme"));
}
