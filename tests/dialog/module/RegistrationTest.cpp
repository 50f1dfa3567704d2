// Registration of stagehand.dll through the real regsvr32. Register.* runs first
// (fixture set-up), Unregister.* last (fixture clean-up).
#include <gtest/gtest.h>

#include "Harness.h"

using harness::KeyExists;
using harness::StringValue;

namespace {

const wchar_t kAppId[] = L"{12631F96-F37E-4975-81D5-16E871EE557B}";
const wchar_t kLibId[] = L"{12631F96-F37E-4975-81D5-16E871EE557B}";
const wchar_t kInitCat[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kScriptCat[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";

struct ClassRow {
    const wchar_t* clsid;
    const wchar_t* progId;
    const wchar_t* viProgId;
    const wchar_t* description;
    bool safe;
};

const ClassRow kClasses[] = {
    {L"{7B5C103F-DAAF-425E-B3A9-DEDE61F3A6F4}", L"Stagehand.InstallDlgCtl", L"Stagehand.InstallDlgCtl",
     L"CInstallDlgCtl Object", false},
    {L"{C8F76629-E4F4-4646-AFC0-665082D167B1}", L"DOZUvidaruve.StateCtrl.1", L"DOZUvidaruve.StateCtrl",
     L"CSlideState Object", true},
    {L"{5818813E-D53D-47A5-ABBB-37E2A07056B5}", L"PebbleUtil.ProcessMgr.1", L"PebbleUtil.ProcessMgr",
     L"CProcessMgr Object", true},
    {L"{80AB3FB6-9660-416C-BE8D-0E2E8AC3138B}", L"PebbleUtil.ShellCtl.1", L"PebbleUtil.ShellCtl",
     L"CShellCtl Object", true},
    {L"{102A897A-FC92-4F8B-A7D5-7DE434FE7D3E}", L"PebbleUtil.RegAccess.1", L"PebbleUtil.RegAccess",
     L"CRegAccess Object", false},
    {L"{A38DB794-40F4-4540-9062-0C1C6E71EF0C}", L"PebbleUtil.UnRar.1", L"PebbleUtil.UnRar", L"CUnRar Object", false},
    {L"{748744E8-6812-4F07-9F57-5F40395BDE65}", L"PebbleUtil.CookieCtl.1", L"PebbleUtil.CookieCtl",
     L"CCookieCtl Object", false},
};

std::wstring Dll() { return harness::Join(harness::BinDir(), L"stagehand.dll"); }

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
    return s;
}

bool InCategory(const wchar_t* clsid, const wchar_t* cat) {
    return KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + clsid + L"\\Implemented Categories\\" + cat);
}

void ExpectRegistered() {
    EXPECT_EQ(L"stagehand", StringValue(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId));
    EXPECT_EQ(kAppId, StringValue(HKEY_CLASSES_ROOT, L"AppID\\stagehand.DLL", L"AppID"));
    for (const auto& c : kClasses) {
        SCOPED_TRACE(harness::Narrow(c.progId));
        const std::wstring key = std::wstring(L"CLSID\\") + c.clsid;
        EXPECT_EQ(c.description, StringValue(HKEY_CLASSES_ROOT, c.progId));
        EXPECT_EQ(c.clsid, StringValue(HKEY_CLASSES_ROOT, std::wstring(c.progId) + L"\\CLSID"));
        EXPECT_EQ(c.description, StringValue(HKEY_CLASSES_ROOT, c.viProgId));
        EXPECT_EQ(c.clsid, StringValue(HKEY_CLASSES_ROOT, std::wstring(c.viProgId) + L"\\CLSID"));
        EXPECT_EQ(c.progId, StringValue(HKEY_CLASSES_ROOT, std::wstring(c.viProgId) + L"\\CurVer"));
        EXPECT_EQ(c.description, StringValue(HKEY_CLASSES_ROOT, key));
        EXPECT_EQ(c.progId, StringValue(HKEY_CLASSES_ROOT, key + L"\\ProgID"));
        EXPECT_EQ(c.viProgId, StringValue(HKEY_CLASSES_ROOT, key + L"\\VersionIndependentProgID"));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\Programmable"));
        EXPECT_EQ(Lower(Dll()), Lower(StringValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32")));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\LocalServer32"));
        EXPECT_EQ(L"both", StringValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_EQ(kAppId, StringValue(HKEY_CLASSES_ROOT, key, L"AppID"));
        EXPECT_EQ(kLibId, StringValue(HKEY_CLASSES_ROOT, key + L"\\TypeLib"));
        EXPECT_EQ(c.safe, InCategory(c.clsid, kInitCat));
        EXPECT_EQ(c.safe, InCategory(c.clsid, kScriptCat));
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Stagehand.InstallDlgCtl.1"));
    EXPECT_EQ(L"Controls safely scriptable!",
              StringValue(HKEY_CLASSES_ROOT, std::wstring(L"Component Categories\\") + kScriptCat, L"409"));
    EXPECT_EQ(L"Controls safely initializable from persistent data!",
              StringValue(HKEY_CLASSES_ROOT, std::wstring(L"Component Categories\\") + kInitCat, L"409"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId + L"\\1.0"));
}

void ExpectUnregistered() {
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\stagehand.DLL"));
    for (const auto& c : kClasses) {
        SCOPED_TRACE(harness::Narrow(c.progId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, c.progId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, c.viProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + c.clsid));
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId + L"\\1.0"));
}

}  // namespace

TEST(Register, WritesEveryKeyOfTheClassTable) {
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false));
    ExpectRegistered();
}

TEST(Unregister, RemovesClassesKeepsRootsAndCanBeRepeated) {
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), true));
    ExpectUnregistered();
    EXPECT_EQ(0u, harness::Regsvr32(Dll(), true)) << "a second unregistration succeeds";
    ExpectUnregistered();
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false)) << "registering again after unregistration";
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false)) << "registering twice";
    ExpectRegistered();
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), true));
    ExpectUnregistered();
}

TEST(Unregister, LongModulePathFailsRegistrationWithInsufficientBuffer) {
    // A copy of the DLL at a path of 260+ characters: the module path no longer fits.
    harness::TempDir dir(L"long");
    std::wstring folder = dir.path();
    while (folder.size() < 250) {
        folder += L"\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    }
    const std::wstring copy = folder + L"\\stagehand.dll";
    ASSERT_TRUE(::CopyFileW(Dll().c_str(), (L"\\\\?\\" + copy).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(harness::Join(harness::BinDir(), L"ZOZuzirorirPaths.dll").c_str(),
                            (L"\\\\?\\" + folder + L"\\ZOZuzirorirPaths.dll").c_str(), FALSE));
    ::SetDllDirectoryW(harness::BinDir().c_str());
    HMODULE m = ::LoadLibraryExW((L"\\\\?\\" + copy).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!m) GTEST_SKIP() << "this platform cannot load a module from a path of 260+ characters";
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(m, "DllRegisterServer"));
    ASSERT_NE(nullptr, reg);
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), reg());
    ::FreeLibrary(m);
    // Nothing of the copy was registered.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId));
    harness::RemoveTree(L"\\\\?\\" + dir.path());
}
