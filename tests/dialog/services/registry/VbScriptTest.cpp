// The registry object from a real VBScript host: its arrays start at 0, so
// CreateMLSubKey refuses them unless they are empty.
#include <gtest/gtest.h>

#include "Harness.h"
#include "RegTestSupport.h"

namespace {

// Runs a VBScript with cscript and returns its exit code.
DWORD RunVbs(const harness::TempDir& dir, const std::string& body) {
    const std::wstring file = dir / L"t.vbs";
    harness::WriteFile(file, body);
    harness::ProcessResult r = harness::Run(L"cscript.exe //nologo //B \"" + file + L"\"", dir.path(), 60000);
    EXPECT_FALSE(r.timedOut);
    return r.exitCode;
}

}  // namespace

TEST(RegAccessVbScript, ZeroBasedArraysAreRefusedEmptyOnesWritten) {
    regtest::ScratchKey key(HKEY_CURRENT_USER, L"Software", L"vbs");
    harness::TempDir dir(L"vbs");
    const std::string open = "Set r = CreateObject(\"PebbleUtil.RegAccess\")\r\n"
                             "If Not r.OpenKey(1, \"" + harness::Narrow(key.path()) + "\") Then WScript.Quit 10\r\n";

    // Dim a(1) has the indexes 0 and 1: reading index 2 fails the call with
    // E_INVALIDARG, which VBScript reports as its error 5.
    EXPECT_EQ(5u, RunVbs(dir, open +
                                  "Dim a(1)\r\na(0) = \"x\"\r\na(1) = \"y\"\r\n"
                                  "On Error Resume Next\r\n"
                                  "r.CreateMLSubKey \"m\", \"v\", a, 7\r\n"
                                  "WScript.Quit Err.Number\r\n"));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, key / L"m"));

    EXPECT_EQ(0u, RunVbs(dir, open +
                                  "On Error Resume Next\r\n"
                                  "r.CreateMLSubKey \"m\", \"empty\", Array(), 7\r\n"
                                  "WScript.Quit Err.Number\r\n"));
    regtest::RawValue v;
    ASSERT_TRUE(regtest::ReadRaw(HKEY_CURRENT_USER, key / L"m", L"empty", v));
    EXPECT_EQ(DWORD(REG_MULTI_SZ), v.type);
    EXPECT_EQ(regtest::Bytes({0, 0}), v.data);
}
