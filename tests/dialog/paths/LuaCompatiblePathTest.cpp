// GetLuaCompatiblePathImplementation of ZOZuzirorirPaths.dll, called as stagehand calls it.
#include <gtest/gtest.h>

#include <cstring>

#include "Harness.h"
#include "dialog/paths/LuaCompatiblePath.h"
#include "dialog/paths/NarrowPath.h"

namespace {
// A guard zone after the 260-byte buffer shows any write past it.
struct GuardedBuffer {
    char bytes[kLuaPathBufferSize + 64];
    GuardedBuffer() { std::memset(bytes, 'Z', sizeof bytes); }
    bool GuardIntact() const {
        for (size_t i = kLuaPathBufferSize; i < sizeof bytes; ++i)
            if (bytes[i] != 'Z') return false;
        return true;
    }
};
}  // namespace

TEST(LuaCompatiblePath, AsciiPathIsCopied) {
    GuardedBuffer b;
    ASSERT_HR(S_OK, GetLuaCompatiblePathImplementation(L"C:\\Games\\My Game", b.bytes));
    EXPECT_STREQ("C:\\Games\\My Game", b.bytes);
    EXPECT_TRUE(b.GuardIntact());
}

TEST(LuaCompatiblePath, CharactersOutsideTheCodePageUseTheShortName) {
    harness::TempDir dir(L"lua");
    const std::wstring folder = dir / L"\x65E5\x672C\x8A9E Spiel \x0416";  // not in code page 1252
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    GuardedBuffer b;
    HRESULT hr = GetLuaCompatiblePathImplementation(folder.c_str(), b.bytes);
    wchar_t shortName[MAX_PATH];
    DWORD n = ::GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_HR(S_OK, hr);
    EXPECT_EQ(harness::Narrow(shortName), std::string(b.bytes));
    // The result names the same folder.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(b.bytes));
    EXPECT_TRUE(b.GuardIntact());
}

TEST(LuaCompatiblePath, UnrepresentablePathFails) {
    GuardedBuffer b;
    // A path that does not exist has no short form to fall back on.
    HRESULT hr = GetLuaCompatiblePathImplementation(L"C:\\nowhere\\\x65E5\x672C", b.bytes);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ('\0', b.bytes[0]);
    EXPECT_TRUE(b.GuardIntact());
}

TEST(LuaCompatiblePath, OverLongResultFailsWithoutOverflow) {
    std::wstring longPath = L"C:\\" + std::wstring(300, L'a');
    GuardedBuffer b;
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), GetLuaCompatiblePathImplementation(longPath.c_str(), b.bytes));
    EXPECT_TRUE(b.GuardIntact());
    // Exactly 259 characters and the terminator fit.
    std::wstring fits = L"C:\\" + std::wstring(256, L'b');
    GuardedBuffer c;
    ASSERT_HR(S_OK, GetLuaCompatiblePathImplementation(fits.c_str(), c.bytes));
    EXPECT_EQ(259u, std::strlen(c.bytes));
    EXPECT_TRUE(c.GuardIntact());
    EXPECT_HR(E_POINTER, GetLuaCompatiblePathImplementation(nullptr, c.bytes));
}

// The usual "<chosen folder>\<game>" before unpacking: the chosen folder exists and holds
// characters outside the code page, the game's folder does not exist yet.
TEST(LuaCompatiblePath, MissingLastFoldersKeepTheirNamesBehindTheShortExistingFolder) {
    harness::TempDir dir(L"lua");
    const std::wstring chosen = dir / L"\x65E5\x672C\x8A9E Spiele";
    ASSERT_TRUE(::CreateDirectoryW(chosen.c_str(), nullptr));
    wchar_t shortChosen[MAX_PATH];
    ASSERT_GT(::GetShortPathNameW(chosen.c_str(), shortChosen, MAX_PATH), 0u);
    GuardedBuffer b;
    ASSERT_HR(S_OK, GetLuaCompatiblePathImplementation((chosen + L"\\My Game\\Data").c_str(), b.bytes));
    EXPECT_EQ(harness::Narrow(shortChosen) + "\\My Game\\Data", std::string(b.bytes));
    EXPECT_TRUE(b.GuardIntact());
    // The missing part itself outside the code page: nothing spells it.
    GuardedBuffer c;
    EXPECT_TRUE(FAILED(GetLuaCompatiblePathImplementation((chosen + L"\\\x0416").c_str(), c.bytes)));
    EXPECT_EQ('\0', c.bytes[0]);
}

// Under the UTF-8 code page the conversion takes no flags: every path converts, lone
// surrogates (not text at all) do not.
TEST(LuaCompatiblePath, Utf8CodePageConvertsWithoutRefusingTheFlags) {
    char buffer[kLuaPathBufferSize];
    ASSERT_HR(S_OK, stagehand::NarrowPath(CP_UTF8, L"C:\\Spiele\\\x65E5\x672C \x00FC", buffer, sizeof buffer));
    EXPECT_EQ("C:\\Spiele\\\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBC", std::string(buffer));
    EXPECT_TRUE(FAILED(stagehand::NarrowPath(CP_UTF8, L"C:\\nowhere\\\xD800x", buffer, sizeof buffer)));
    EXPECT_EQ('\0', buffer[0]);
    // A code page with best-fit mappings still refuses them (no silent "a" for "\x0101").
    EXPECT_TRUE(FAILED(stagehand::NarrowPath(1252, L"C:\\nowhere\\\x0101", buffer, sizeof buffer)));
}
