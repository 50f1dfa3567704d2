// Registration of browserprobe.dll and toolbarprobe.dll through the real regsvr32.
// Register.* runs first (fixture set-up), Unregister.* last (fixture clean-up).
#include <gtest/gtest.h>

#include "Harness.h"

using harness::KeyExists;
using harness::StringValue;

namespace {

struct Server {
    const wchar_t* dll;
    const wchar_t* name;
    const wchar_t* libId;  // also the AppID
    const wchar_t* clsid;
    const wchar_t* progId;
    const wchar_t* viProgId;
    const wchar_t* description;
    const wchar_t* threadingModel;
};

const Server kServers[] = {
    {L"browserprobe.dll", L"browserprobe", L"{7D10077E-0FF1-42E9-940A-CFFEE4DC7D63}",
     L"{28DFE5B9-610E-4DF7-9ADD-615BE7F7CAFA}", L"browserprobe.ChromeCompatibilityChecker.2",
     L"browserprobe.ChromeCompatibilityChecker", L"CChromeCompatibilityChecker Object", L"both"},
    {L"toolbarprobe.dll", L"toolbarprobe", L"{1D947539-6085-485F-AEBC-97F6124CE951}",
     L"{BEC1A81A-489A-40D3-AB06-A516925401C0}", L"toolbarprobe.gtb.1", L"toolbarprobe.gtb", L"Cgtb Object",
     L"apartment"},
};

std::wstring Dll(const Server& s) { return harness::Join(harness::BinDir(), s.dll); }

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
    return s;
}

void ExpectRegistered(const Server& s) {
    SCOPED_TRACE(harness::Narrow(s.dll));
    const std::wstring key = std::wstring(L"CLSID\\") + s.clsid;
    EXPECT_EQ(s.name, StringValue(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + s.libId));
    EXPECT_EQ(s.libId, StringValue(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + s.name + L".DLL", L"AppID"));
    EXPECT_EQ(s.description, StringValue(HKEY_CLASSES_ROOT, s.progId));
    EXPECT_EQ(s.clsid, StringValue(HKEY_CLASSES_ROOT, std::wstring(s.progId) + L"\\CLSID"));
    EXPECT_EQ(s.description, StringValue(HKEY_CLASSES_ROOT, s.viProgId));
    EXPECT_EQ(s.clsid, StringValue(HKEY_CLASSES_ROOT, std::wstring(s.viProgId) + L"\\CLSID"));
    EXPECT_EQ(s.progId, StringValue(HKEY_CLASSES_ROOT, std::wstring(s.viProgId) + L"\\CurVer"));
    EXPECT_EQ(s.description, StringValue(HKEY_CLASSES_ROOT, key));
    EXPECT_EQ(s.progId, StringValue(HKEY_CLASSES_ROOT, key + L"\\ProgID"));
    EXPECT_EQ(s.viProgId, StringValue(HKEY_CLASSES_ROOT, key + L"\\VersionIndependentProgID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\Programmable"));
    EXPECT_EQ(Lower(Dll(s)), Lower(StringValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32")));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\LocalServer32"));
    EXPECT_EQ(s.threadingModel, StringValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(s.libId, StringValue(HKEY_CLASSES_ROOT, key, L"AppID"));
    EXPECT_EQ(s.libId, StringValue(HKEY_CLASSES_ROOT, key + L"\\TypeLib"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\Implemented Categories"));
    const std::wstring lib = std::wstring(L"TypeLib\\") + s.libId + L"\\1.0";
    EXPECT_EQ(std::wstring(s.name) + L" 1.0 Type Library", StringValue(HKEY_CLASSES_ROOT, lib));
    EXPECT_EQ(Lower(Dll(s)), Lower(StringValue(HKEY_CLASSES_ROOT, lib + L"\\0\\win32")));
}

void ExpectUnregistered(const Server& s) {
    SCOPED_TRACE(harness::Narrow(s.dll));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + s.libId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + s.name + L".DLL"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, s.progId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, s.viProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + s.clsid));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + s.libId + L"\\1.0"));
}

}  // namespace

TEST(Register, WritesTheKeysOfBothProbes) {
    for (const auto& s : kServers) {
        ASSERT_EQ(0u, harness::Regsvr32(Dll(s), false)) << harness::Narrow(s.dll);
        ExpectRegistered(s);
    }
}

TEST(Unregister, RemovesTheKeysOfBothProbesAndCanBeRepeated) {
    for (const auto& s : kServers) {
        ASSERT_EQ(0u, harness::Regsvr32(Dll(s), true)) << harness::Narrow(s.dll);
        ExpectUnregistered(s);
        EXPECT_EQ(0u, harness::Regsvr32(Dll(s), true)) << "a second unregistration succeeds";
        ExpectUnregistered(s);
    }
    // Each server's keys are its own: one registered alone leaves the other's absent.
    ASSERT_EQ(0u, harness::Regsvr32(Dll(kServers[1]), false));
    ExpectRegistered(kServers[1]);
    ExpectUnregistered(kServers[0]);
    ASSERT_EQ(0u, harness::Regsvr32(Dll(kServers[1]), true));
    ExpectUnregistered(kServers[1]);
}
