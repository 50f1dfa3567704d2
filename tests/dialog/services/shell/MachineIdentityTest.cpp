// The machine identifier, OS version and platform report of the shell object, called
// late-bound in this process and in stand-in host processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <nb30.h>
#include <cpuid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Harness.h"
#include "common/Handle.h"
#include "ShellTestSupport.h"

using harness::AsString;
using harness::CallOk;
using harness::TempDir;
using shelltest::Block;

namespace {

common::ComPtr<IDispatch> ShellObject() { return harness::Create(L"PebbleUtil.ShellCtl"); }

// The identifier as the documented blocks define it, computed here from the
// machine's own readings and the given volume serial.
std::wstring ExpectedId(DWORD serial) {
    Block id = {};

    Block name = {};
    DWORD size = 16;
    if (::GetComputerNameA(reinterpret_cast<char*>(name.data()), &size)) shelltest::XorInto(id, shelltest::Md5(name));

    char windir[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windir, MAX_PATH);
    Block volume = {};
    char hex[16];
    snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(serial));
    std::memcpy(volume.data(), hex, std::strlen(hex));
    std::memcpy(volume.data() + 12, windir, 3);
    shelltest::XorInto(id, shelltest::Md5(volume));

    LANA_ENUM lanas = {};
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof lanas;
    if (::Netbios(&ncb) == NRC_GOODRET) {
        for (int i = 0; i < lanas.length; ++i) {
            ncb = NCB{};
            ncb.ncb_command = NCBRESET;
            ncb.ncb_lana_num = lanas.lana[i];
            ::Netbios(&ncb);
            ADAPTER_STATUS status[4] = {};  // room for the 600-byte answer
            ncb = NCB{};
            ncb.ncb_command = NCBASTAT;
            ncb.ncb_lana_num = lanas.lana[i];
            std::memcpy(ncb.ncb_callname, "*               ", 16);
            ncb.ncb_buffer = reinterpret_cast<PUCHAR>(status);
            ncb.ncb_length = 600;
            if (::Netbios(&ncb) == NRC_GOODRET) {
                Block adapter;
                std::memcpy(adapter.data(), status, 16);
                shelltest::XorInto(id, shelltest::Md5(adapter));
                break;
            }
        }
    }

    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    Block cpu = {};
    a &= 0xFFFF;
    std::memcpy(cpu.data(), &a, 4);
    std::memcpy(cpu.data() + 4, &b, 4);
    std::memcpy(cpu.data() + 8, &d, 4);
    std::memcpy(cpu.data() + 12, &c, 4);
    shelltest::XorInto(id, shelltest::Md5(cpu));
    return shelltest::HexUpper(id);
}

// The serial number of drive C:. Wine takes it from the prefix's serial file
// (drive_c\.windows-serial, hexadecimal) when its session starts; when that file is
// what the platform reports, the serial is taken from the file itself.
DWORD WindowsVolumeSerial(bool& fromFile) {
    DWORD reported = 0;
    EXPECT_TRUE(::GetVolumeInformationA("C:\\", nullptr, 0, &reported, nullptr, nullptr, nullptr, 0));
    const std::string file = harness::ReadFile(L"C:\\.windows-serial");
    fromFile = !file.empty() && std::strtoul(file.c_str(), nullptr, 16) == reported;
    return fromFile ? std::strtoul(file.c_str(), nullptr, 16) : reported;
}

// Gives the machine another computer name for a while (Wine reads the active name
// from the registry on every query).
class ComputerName {
public:
    ComputerName() : lock_(L"shell-tests-computer-name") {
        old_ = harness::StringValue(HKEY_LOCAL_MACHINE, kKey, L"ComputerName");
    }
    ~ComputerName() {
        if (old_ != L"<missing>") Set(old_);
    }
    bool Set(const std::wstring& name) {
        common::UniqueKey k;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, k.put()) != ERROR_SUCCESS) return false;
        return ::RegSetValueExW(k.get(), L"ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

private:
    static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
    shelltest::MachineLock lock_;
    std::wstring old_;
};

bool IsUpperHex32(const std::wstring& s) {
    if (s.size() != 32) return false;
    for (wchar_t ch : s)
        if (!((ch >= L'0' && ch <= L'9') || (ch >= L'A' && ch <= L'F'))) return false;
    return true;
}

// A renamed copy of the stand-in host that Wine runs under another Windows version.
class VersionedHost {
public:
    explicit VersionedHost(const wchar_t* version) {
        wchar_t name[64];
        swprintf(name, 64, L"verhost%lu_%ls.exe", ::GetCurrentProcessId(), version);
        exe_ = dir_ / name;
        harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"shell_host.exe"), exe_);
        key_ = std::wstring(L"Software\\Wine\\AppDefaults\\") + name;
        common::UniqueKey k;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
        ::RegSetValueExW(k.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    }
    ~VersionedHost() { ::RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }
    const std::wstring& exe() const { return exe_; }

private:
    TempDir dir_{L"ver"};
    std::wstring exe_, key_;
};

std::wstring Processors() {
    SYSTEM_INFO si = {};
    ::GetSystemInfo(&si);
    return std::to_wstring(si.dwNumberOfProcessors);
}

}  // namespace

TEST(ShellMachineId, MatchesTheDocumentedBlocksInEveryProcess) {
    bool fromFile = false;
    const DWORD serial = WindowsVolumeSerial(fromFile);
    if (!fromFile) std::printf("volume serial %lx taken from the platform (no serial file in force)\n", serial);
    auto shell = ShellObject();
    const std::wstring first = AsString(*CallOk(shell.get(), L"GetSystemID").get());
    EXPECT_TRUE(IsUpperHex32(first)) << harness::Narrow(first);
    EXPECT_EQ(ExpectedId(serial), first);
    EXPECT_EQ(first, AsString(*CallOk(shell.get(), L"GetSystemID").get()));
    auto other = shelltest::HostCall(L"GetSystemID");
    EXPECT_HR(S_OK, other.hr);
    EXPECT_EQ(first, other.text);
}

TEST(ShellMachineId, AnotherComputerNameAnotherIdentifier) {
    bool fromFile = false;
    const DWORD serial = WindowsVolumeSerial(fromFile);
    auto shell = ShellObject();
    ComputerName name;
    const std::wstring before = AsString(*CallOk(shell.get(), L"GetSystemID").get());
    ASSERT_TRUE(name.Set(L"PEBBLE-OTHER"));
    char now[16] = {};
    DWORD size = 16;
    ASSERT_TRUE(::GetComputerNameA(now, &size));
    ASSERT_STREQ("PEBBLE-OTHER", now);
    auto renamed = shelltest::HostCall(L"GetSystemID");
    EXPECT_HR(S_OK, renamed.hr);
    EXPECT_NE(before, renamed.text);
    EXPECT_EQ(ExpectedId(serial), renamed.text);
}

TEST(ShellPlatform, VersionAndReportUnderWindows7) {
    auto shell = ShellObject();
    common::Variant v = CallOk(shell.get(), L"OSVersion");
    ASSERT_EQ(VT_R8, v.get()->vt);
    EXPECT_EQ(6.0, V_R8(v.get()));
    EXPECT_EQ(L"Windows:6.1.7601&architecture=x86&Processors=" + Processors(),
              AsString(*CallOk(shell.get(), L"PlatformInfo").get()));
}

TEST(ShellPlatform, VersionAndReportUnderWindowsXp) {
    VersionedHost host(L"winxp");
    auto version = shelltest::HostCall(L"OSVersion", {}, L"", host.exe());
    EXPECT_HR(S_OK, version.hr);
    EXPECT_EQ(L"5", version.text);
    auto report = shelltest::HostCall(L"PlatformInfo", {}, L"", host.exe());
    EXPECT_HR(S_OK, report.hr);
    EXPECT_EQ(L"Windows:5.1.2600&architecture=x86&Processors=" + Processors(), report.text);
}

TEST(ShellDrives, SystemDriveForSmallRequestsDriveAWhenNothingFits) {
    auto shell = ShellObject();
    wchar_t sys[MAX_PATH];
    ::GetSystemDirectoryW(sys, MAX_PATH);
    const std::wstring systemDrive(sys, 2);
    EXPECT_EQ(systemDrive, AsString(*CallOk(shell.get(), L"GetAvailableDrive", {harness::I4(0)}).get()));
    EXPECT_EQ(systemDrive, AsString(*CallOk(shell.get(), L"GetAvailableDrive", {harness::I4(-100)}).get()));
    // 2^31-1 decimal megabytes is more than any drive of this machine.
    EXPECT_EQ(L"A:", AsString(*CallOk(shell.get(), L"GetAvailableDrive", {harness::I4(0x7FFFFFFF)}).get()));
}
