// The shell object's helpers on machines Wine can't be made into: other processor
// architectures, other drives and free space, other computer names and adapters,
// more processes than the first guess of the list size.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "dialog/services/shell/DriveChooser.h"
#include "Harness.h"
#include "common/Handle.h"
#include "dialog/services/shell/MachineId.h"
#include "dialog/services/shell/PlatformReport.h"
#include "dialog/services/shell/ProcessKiller.h"
#include "ShellTestSupport.h"

using shelltest::Block;
using stagehand::DriveApi;
using stagehand::DriveChooser;
using stagehand::MachineId;
using stagehand::MachineIdApi;
using stagehand::PlatformApi;
using stagehand::PlatformReport;

// --- drives -----------------------------------------------------------------------

namespace {

struct FakeDrive {
    UINT type;
    ULONGLONG freeBytes;
    bool readable;
};
struct FakeDrives {
    std::wstring systemDir = L"C:\\windows\\system32";
    std::map<wchar_t, FakeDrive> drives;
} g_drives;

UINT WINAPI FakeSystemDirectory(LPWSTR buf, UINT size) {
    const std::wstring& s = g_drives.systemDir;
    if (s.size() + 1 > size) return static_cast<UINT>(s.size() + 1);
    wcscpy(buf, s.c_str());
    return static_cast<UINT>(s.size());
}
DWORD WINAPI FakeLogicalDrives() {
    DWORD mask = 0;
    for (auto& d : g_drives.drives) mask |= 1u << (towupper(d.first) - L'A');
    return mask;
}
const FakeDrive* Find(LPCWSTR root) {
    if (!root || wcslen(root) != 3 || root[1] != L':' || root[2] != L'\\') return nullptr;
    for (auto& d : g_drives.drives)
        if (towupper(d.first) == towupper(root[0])) return &d.second;
    return nullptr;
}
UINT WINAPI FakeDriveType(LPCWSTR root) {
    const FakeDrive* d = Find(root);
    return d ? d->type : DRIVE_NO_ROOT_DIR;
}
BOOL WINAPI FakeFreeSpace(LPCWSTR root, PULARGE_INTEGER caller, PULARGE_INTEGER total, PULARGE_INTEGER all) {
    const FakeDrive* d = Find(root);
    if (!d || !d->readable) return FALSE;
    caller->QuadPart = d->freeBytes;
    total->QuadPart = d->freeBytes * 2;
    all->QuadPart = d->freeBytes + 12345;  // more than the caller may use
    return TRUE;
}
const DriveApi kFakeDrives = {&FakeSystemDirectory, &FakeLogicalDrives, &FakeDriveType, &FakeFreeSpace};

constexpr ULONGLONG MB = 1000000ull;

std::wstring Choose(int mb) { return DriveChooser(kFakeDrives).Choose(mb); }

}  // namespace

TEST(DriveChoice, SystemDriveNeedsAtLeastOtherFixedDrivesMore) {
    g_drives = FakeDrives();
    g_drives.drives = {{L'C', {DRIVE_FIXED, 5000 * MB, true}},
                       {L'D', {DRIVE_FIXED, 7000 * MB, true}},
                       {L'E', {DRIVE_FIXED, 9000 * MB, true}}};
    EXPECT_EQ(L"C:", Choose(5000));  // exactly enough on the system drive
    EXPECT_EQ(L"D:", Choose(5001));
    EXPECT_EQ(L"E:", Choose(7000));  // exactly enough on D is not enough
    EXPECT_EQ(L"A:", Choose(9000));
    EXPECT_EQ(L"C:", Choose(0));
    EXPECT_EQ(L"C:", Choose(-1));
}

TEST(DriveChoice, DecimalMegabytesOfTheCallersFreeSpace) {
    g_drives = FakeDrives();
    // 5000 binary megabytes are 5242 decimal ones (and 880,000 bytes).
    g_drives.drives = {{L'C', {DRIVE_FIXED, 5000ull * 1048576ull, true}}};
    EXPECT_EQ(L"C:", Choose(5242));
    EXPECT_EQ(L"A:", Choose(5243));
}

TEST(DriveChoice, OnlyReadableFixedDrivesOtherThanTheSystemDriveQualify) {
    g_drives = FakeDrives();
    g_drives.systemDir = L"d:\\winnt\\system32";  // letter case as the system writes it
    g_drives.drives = {{L'C', {DRIVE_FIXED, 100 * MB, false}},      // unreadable
                       {L'D', {DRIVE_FIXED, 10 * MB, true}},        // the system drive
                       {L'E', {DRIVE_REMOVABLE, 900 * MB, true}},
                       {L'F', {DRIVE_CDROM, 900 * MB, true}},
                       {L'G', {DRIVE_REMOTE, 900 * MB, true}},
                       {L'H', {DRIVE_FIXED, 50 * MB, true}},
                       {L'Z', {DRIVE_FIXED, 900 * MB, true}}};
    EXPECT_EQ(L"d:", Choose(10));  // the letter as the system directory writes it
    EXPECT_EQ(L"H:", Choose(11));
    EXPECT_EQ(L"Z:", Choose(50));
    EXPECT_EQ(L"A:", Choose(900));
    // An unreadable system drive doesn't qualify even for nothing; the next one does.
    g_drives.drives[L'D'].readable = false;
    EXPECT_EQ(L"H:", Choose(0));
}

TEST(DriveChoice, NoDrivesAtAllGivesDriveA) {
    g_drives = FakeDrives();
    EXPECT_EQ(L"A:", Choose(0));
    g_drives.systemDir = L"";
    EXPECT_EQ(L"A:", Choose(-5));
}

TEST(DriveChoice, RealDrivesOfThisMachine) {
    wchar_t sys[MAX_PATH];
    ::GetSystemDirectoryW(sys, MAX_PATH);
    EXPECT_EQ(std::wstring(sys, 2), DriveChooser().Choose(0));
    EXPECT_EQ(L"A:", DriveChooser().Choose(0x7FFFFFFF));
}

// --- platform report ------------------------------------------------------------------

namespace {

struct FakePlatform {
    bool versionReadable = true;
    DWORD major = 6, minor = 1, build = 7601;
    WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
    DWORD processors = 2;
} g_platform;

BOOL WINAPI FakeVersion(LPOSVERSIONINFOW info) {
    if (!g_platform.versionReadable || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) return FALSE;
    info->dwMajorVersion = g_platform.major;
    info->dwMinorVersion = g_platform.minor;
    info->dwBuildNumber = g_platform.build;
    return TRUE;
}
void WINAPI FakeSystemInfo(LPSYSTEM_INFO si) {
    std::memset(si, 0, sizeof *si);
    si->wProcessorArchitecture = g_platform.architecture;
    si->dwNumberOfProcessors = g_platform.processors;
}
const PlatformApi kFakePlatform = {&FakeVersion, &FakeSystemInfo};

}  // namespace

TEST(PlatformText, EveryArchitectureCode) {
    g_platform = FakePlatform();
    const std::pair<WORD, const wchar_t*> cases[] = {
        {0, L"Windows:6.1.7601&architecture=x86&Processors=2"},
        {6, L"Windows:6.1.7601&architecture=IA64&Processors=2"},
        {9, L"Windows:6.1.7601&architecture=AMD/Intel%20x64&Processors=2"},
        {0xFFFF, L"Windows:6.1.7601&architecture=Unknown%20Architecture&Processors=2"},
        {5, L"Windows:6.1.7601&Processors=2"},
        {12, L"Windows:6.1.7601&Processors=2"},
    };
    for (const auto& c : cases) {
        g_platform.architecture = c.first;
        EXPECT_EQ(c.second, PlatformReport(kFakePlatform).Text()) << c.first;
    }
    g_platform = FakePlatform();
    g_platform.major = 5;
    g_platform.minor = 1;
    g_platform.build = 2600;
    g_platform.processors = 16;
    EXPECT_EQ(L"Windows:5.1.2600&architecture=x86&Processors=16", PlatformReport(kFakePlatform).Text());
}

TEST(PlatformText, MajorVersionOnlyAndUnreadableVersion) {
    g_platform = FakePlatform();
    DWORD major = 0;
    ASSERT_TRUE(PlatformReport(kFakePlatform).MajorVersion(major));
    EXPECT_EQ(6u, major);
    g_platform.versionReadable = false;
    EXPECT_FALSE(PlatformReport(kFakePlatform).MajorVersion(major));
}

// --- machine identifier -----------------------------------------------------------------

namespace {

struct FakeMachine {
    std::string computerName = "PEBBLE-PC";
    std::string windowsDir = "C:\\WINDOWS";
    bool volumeReadable = true;
    DWORD serial = 0x1a2b3c4d;
    std::vector<UCHAR> lanas = {3, 5};
    std::map<UCHAR, std::vector<UCHAR>> status;  // lana -> adapter status bytes; missing: no answer
    std::vector<UCHAR> resets;
    DWORD cpu[4] = {0xABCD000D, 0x756E6547, 0x6C65746E, 0x49656E69};  // EAX, EBX, ECX, EDX
} g_machine;

BOOL WINAPI FakeComputerName(LPSTR buf, LPDWORD size) {
    const std::string& n = g_machine.computerName;
    if (n.empty()) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (n.size() + 1 > *size) {
        *size = static_cast<DWORD>(n.size() + 1);
        ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buf, n.c_str(), n.size() + 1);
    *size = static_cast<DWORD>(n.size());
    return TRUE;
}
UINT WINAPI FakeWindowsDir(LPSTR buf, UINT size) {
    const std::string& d = g_machine.windowsDir;
    if (d.empty()) return 0;
    if (d.size() + 1 > size) return static_cast<UINT>(d.size() + 1);
    std::memcpy(buf, d.c_str(), d.size() + 1);
    return static_cast<UINT>(d.size());
}
std::string g_volumeRootAsked;
BOOL WINAPI FakeVolume(LPCSTR root, LPSTR, DWORD, LPDWORD serial, LPDWORD, LPDWORD, LPSTR, DWORD) {
    g_volumeRootAsked = root ? root : "";
    if (!g_machine.volumeReadable) return FALSE;
    *serial = g_machine.serial;
    return TRUE;
}
UCHAR APIENTRY FakeNetbios(PNCB ncb) {
    switch (ncb->ncb_command) {
        case NCBENUM: {
            if (ncb->ncb_length < sizeof(LANA_ENUM)) return NRC_BUFLEN;
            auto* e = reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer);
            e->length = static_cast<UCHAR>(g_machine.lanas.size());
            for (size_t i = 0; i < g_machine.lanas.size(); ++i) e->lana[i] = g_machine.lanas[i];
            return NRC_GOODRET;
        }
        case NCBRESET:
            g_machine.resets.push_back(ncb->ncb_lana_num);
            return NRC_GOODRET;
        case NCBASTAT: {
            if (std::memcmp(ncb->ncb_callname, "*               ", 16) != 0) return NRC_NOWILD;
            auto it = g_machine.status.find(ncb->ncb_lana_num);
            if (it == g_machine.status.end()) return NRC_BRIDGE;
            if (ncb->ncb_length < 600) return NRC_BUFLEN;
            std::memcpy(ncb->ncb_buffer, it->second.data(), it->second.size());
            return NRC_GOODRET;
        }
    }
    return NRC_ILLCMD;
}
void FakeCpuid(DWORD regs[4]) { std::memcpy(regs, g_machine.cpu, sizeof g_machine.cpu); }
const MachineIdApi kFakeMachine = {&FakeComputerName, &FakeWindowsDir, &FakeVolume, &FakeNetbios, &FakeCpuid};

Block Bytes(std::initializer_list<int> values) {
    Block b = {};
    size_t i = 0;
    for (int v : values) b[i++] = static_cast<BYTE>(v);
    return b;
}

// The four blocks of the fake machine, written out byte by byte.
const Block kNameBlock = Bytes({'P', 'E', 'B', 'B', 'L', 'E', '-', 'P', 'C', 0, 0, 0, 0, 0, 0, 0});
const Block kVolumeBlock = Bytes({'1', 'a', '2', 'b', '3', 'c', '4', 'd', 0, 0, 0, 0, 'C', ':', '\\', 0});
const Block kAdapterBlock = Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 3, 0, 0xFE, 0, 0x34, 0x12, 7, 0, 9, 0});
const Block kCpuBlock = Bytes({0x0D, 0, 0, 0, 'G', 'e', 'n', 'u', 'i', 'n', 'e', 'I', 'n', 't', 'e', 'l'});

void ResetMachine() {
    g_machine = FakeMachine();
    std::vector<UCHAR> status(kAdapterBlock.begin(), kAdapterBlock.end());
    status.resize(60, 0xAA);  // the rest of the status differs and must not count
    g_machine.status[5] = status;
}

std::wstring Expected(std::initializer_list<const Block*> blocks) {
    Block id = {};
    for (const Block* b : blocks) shelltest::XorInto(id, shelltest::Md5(*b));
    return shelltest::HexUpper(id);
}

}  // namespace

TEST(MachineIdBlocks, AllFourComponentsByteForByte) {
    ResetMachine();
    const std::wstring id = MachineId(kFakeMachine).Text();
    EXPECT_EQ(Expected({&kNameBlock, &kVolumeBlock, &kAdapterBlock, &kCpuBlock}), id);
    EXPECT_EQ("C:\\", g_volumeRootAsked);
    // Every adapter up to the one that answered was reset first.
    EXPECT_EQ((std::vector<UCHAR>{3, 5}), g_machine.resets);
    EXPECT_EQ(id, MachineId(kFakeMachine).Text());
}

TEST(MachineIdBlocks, NothingReadableLeavesTheProcessorAlone) {
    ResetMachine();
    g_machine.computerName.clear();
    g_machine.windowsDir.clear();
    g_machine.lanas.clear();
    std::memset(g_machine.cpu, 0, sizeof g_machine.cpu);
    // MD5 of sixteen zero bytes.
    EXPECT_EQ(L"4AE71336E44BF9BF79D2752E234818A5", MachineId(kFakeMachine).Text());
}

TEST(MachineIdBlocks, ComputerNameChangesTheIdentifier) {
    ResetMachine();
    const std::wstring before = MachineId(kFakeMachine).Text();
    g_machine.computerName = "PEBBLE-PC2";
    const std::wstring after = MachineId(kFakeMachine).Text();
    EXPECT_NE(before, after);
    const Block renamed = Bytes({'P', 'E', 'B', 'B', 'L', 'E', '-', 'P', 'C', '2', 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Expected({&renamed, &kVolumeBlock, &kAdapterBlock, &kCpuBlock}), after);
    // Fifteen characters fit, sixteen don't: that name is left out.
    g_machine.computerName = "ABCDEFGHIJKLMNOP";
    EXPECT_EQ(Expected({&kVolumeBlock, &kAdapterBlock, &kCpuBlock}), MachineId(kFakeMachine).Text());
}

TEST(MachineIdBlocks, WithoutANetbiosAdapter) {
    ResetMachine();
    g_machine.lanas.clear();
    EXPECT_EQ(Expected({&kNameBlock, &kVolumeBlock, &kCpuBlock}), MachineId(kFakeMachine).Text());
    ResetMachine();
    g_machine.status.clear();  // adapters listed, none answers
    EXPECT_EQ(Expected({&kNameBlock, &kVolumeBlock, &kCpuBlock}), MachineId(kFakeMachine).Text());
}

TEST(MachineIdBlocks, WindowsVolumeNeedsADriveRootAndItsSerial) {
    ResetMachine();
    g_machine.serial = 0x9;
    g_machine.windowsDir = "e:\\Win";
    const Block small = Bytes({'9', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'e', ':', '\\', 0});
    EXPECT_EQ(Expected({&kNameBlock, &small, &kAdapterBlock, &kCpuBlock}), MachineId(kFakeMachine).Text());
    for (const char* dir : {"\\\\server\\windows", "C:windows", "1:\\windows"}) {
        ResetMachine();
        g_machine.windowsDir = dir;
        EXPECT_EQ(Expected({&kNameBlock, &kAdapterBlock, &kCpuBlock}), MachineId(kFakeMachine).Text()) << dir;
    }
    ResetMachine();
    g_machine.volumeReadable = false;
    EXPECT_EQ(Expected({&kNameBlock, &kAdapterBlock, &kCpuBlock}), MachineId(kFakeMachine).Text());
}

TEST(MachineIdBlocks, RealMachineIsStable) {
    const std::wstring a = MachineId().Text();
    EXPECT_EQ(32u, a.size());
    EXPECT_EQ(a, MachineId().Text());
}

// --- process list -------------------------------------------------------------------------

namespace {

DWORD g_victimPid = 0;
DWORD g_largestBuffer = 0;
const DWORD kListed = 3000;

// A list longer than the first guess, with the real victim last.
BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned) {
    if (bytes > g_largestBuffer) g_largestBuffer = bytes;
    const DWORD room = bytes / sizeof(DWORD);
    const DWORD n = room < kListed ? room : kListed;
    for (DWORD i = 0; i < n; ++i) ids[i] = (i + 1 == kListed) ? g_victimPid : 0x7FFF0000u + 4 * i;
    *returned = n * sizeof(DWORD);
    return TRUE;
}
BOOL WINAPI NoProcessList(DWORD*, DWORD, DWORD*) { return FALSE; }

}  // namespace

TEST(ProcessList, EveryProcessIsExaminedHoweverLongTheList) {
    // Under the user-mode emulator of 32-bit code, Wine reads no other process's module
    // list (the emulator maps each process's memory elsewhere), so no name ever matches.
    if (::GetEnvironmentVariableW(L"INSTALLER_TESTS_EMULATED", nullptr, 0) != 0)
        GTEST_SKIP() << "other processes' module names are unreadable under emulation";
    harness::TempDir dir(L"plist");
    wchar_t name[64];
    swprintf(name, 64, L"listed%lu.exe", ::GetCurrentProcessId());
    const std::wstring exe = dir / name;
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"shell_host.exe"), exe);
    std::wstring cmd = L"\"" + exe + L"\" sleep 60000";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    ::Sleep(500);
    g_victimPid = pi.dwProcessId;

    const stagehand::ProcessListApi api = {&FakeEnumProcesses};
    ULONG result = 99;
    EXPECT_TRUE(stagehand::ProcessKiller(api).Kill(name, result));
    EXPECT_EQ(2u, result);
    EXPECT_GT(g_largestBuffer, kListed * sizeof(DWORD));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.get(), 10000));
    if (::WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 9);

    const stagehand::ProcessListApi none = {&NoProcessList};
    result = 99;
    EXPECT_FALSE(stagehand::ProcessKiller(none).Kill(name, result));
    EXPECT_EQ(0u, result);
}
