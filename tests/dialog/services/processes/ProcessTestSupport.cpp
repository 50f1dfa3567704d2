#include "ProcessTestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "common/Handle.h"

using harness::AsBool;
using harness::AsLong;
using harness::Bool;
using harness::Str;

namespace proctest {

std::wstring ChildPath() { return harness::Join(harness::BinDir(), L"process_child.exe"); }
std::wstring Child() { return L"\"" + ChildPath() + L"\""; }

bool Exec(IDispatch* mgr, const std::wstring& mod, const std::wstring& cmdline, bool hide, bool watch,
          const std::wstring& workDir) {
    common::Variant r = harness::CallOk(mgr, L"Exec", {Str(mod), Str(cmdline), Bool(hide), Bool(watch), Str(workDir)});
    return AsBool(*r.get());
}

bool IsFinished(IDispatch* mgr) { return AsBool(*harness::CallOk(mgr, L"IsFinished").get()); }
ULONG ExitCode(IDispatch* mgr) { return static_cast<ULONG>(AsLong(*harness::CallOk(mgr, L"ExitCode").get())); }

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (done()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
}

bool WaitFinished(IDispatch* mgr, DWORD timeoutMs) {
    return WaitUntil([&] { return IsFinished(mgr); }, timeoutMs);
}

std::map<std::string, std::string> ReadReport(const std::wstring& file) {
    std::map<std::string, std::string> out;
    if (!harness::FileExists(file)) return out;
    std::string text = harness::ReadFile(file);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end + 1;
    }
    return out;
}

bool WaitForFile(const std::wstring& file, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            if (!harness::FileExists(file)) return false;
            // The writer holds it exclusively until it is complete.
            HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) return false;
            LARGE_INTEGER size = {};
            ::GetFileSizeEx(h, &size);
            ::CloseHandle(h);
            return size.QuadPart > 0;
        },
        timeoutMs);
}

bool SameFolder(const std::wstring& folder, std::string reported) {
    std::string expected = harness::Narrow(folder);
    while (!expected.empty() && expected.back() == '\\') expected.pop_back();
    while (!reported.empty() && reported.back() == '\\') reported.pop_back();
    return _stricmp(expected.c_str(), reported.c_str()) == 0;
}

bool ProcessAlive(DWORD pid) {
    common::UniqueHandle p(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    return p && ::WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT;
}

void Kill(DWORD pid) {
    common::UniqueHandle p(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!p) return;
    ::TerminateProcess(p.get(), 1);
    ::WaitForSingleObject(p.get(), 5000);
}

namespace {
std::wstring GetEnv(const wchar_t* name, bool& present) {
    DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    present = n != 0;
    if (!n) return L"";
    std::wstring v(n, L'\0');
    n = ::GetEnvironmentVariableW(name, &v[0], n);
    v.resize(n);
    return v;
}
}  // namespace

bool RunCaseInOwnProcess(const std::wstring& testName, const wchar_t* name, const std::wstring& value, bool append) {
    wchar_t self[MAX_PATH];
    DWORD len = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!len || len >= MAX_PATH) return false;
    harness::TempDir dir(L"case");
    std::wstring mark = dir / L"ran.txt";
    ::SetEnvironmentVariableW(L"PM_CASE_MARK", mark.c_str());
    bool had = false;
    std::wstring saved;
    if (name) {
        saved = GetEnv(name, had);
        ::SetEnvironmentVariableW(name, (append && had && !saved.empty() ? saved + L";" + value : value).c_str());
    }
    harness::ProcessResult run = harness::Run(
        L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + testName, L"", 120000);
    if (name) ::SetEnvironmentVariableW(name, had ? saved.c_str() : nullptr);
    ::SetEnvironmentVariableW(L"PM_CASE_MARK", nullptr);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    return !run.timedOut && run.exitCode == 0 && harness::FileExists(mark);
}

void MarkCaseRan(bool failed) {
    bool present = false;
    std::wstring mark = GetEnv(L"PM_CASE_MARK", present);
    if (present && !mark.empty() && !failed) harness::WriteFile(mark, "ran\n");
}

LONG ThreadCount() {
    common::UniqueHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snap) return -1;
    THREADENTRY32 e = {};
    e.dwSize = sizeof e;
    LONG n = 0;
    DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Thread32First(snap.get(), &e); more; more = ::Thread32Next(snap.get(), &e))
        if (e.th32OwnerProcessID == self) ++n;
    return n;
}

namespace {
// The system handle table (SystemHandleInformation, 16), as ntdll returns it.
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
typedef LONG(WINAPI* QuerySystemFn)(ULONG, PVOID, ULONG, PULONG);
}  // namespace

// Counted from the system handle table: GetProcessHandleCount is not reliable everywhere.
DWORD HandleCount() {
    auto query = reinterpret_cast<QuerySystemFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<BYTE> buf(1 << 16);
    for (int attempt = 0; attempt < 12; ++attempt) {
        ULONG needed = 0;
        LONG status = query(16, buf.data(), static_cast<ULONG>(buf.size()), &needed);
        if (status == 0) {
            auto* table = reinterpret_cast<HandleTable*>(buf.data());
            DWORD n = 0, self = ::GetCurrentProcessId();
            for (ULONG i = 0; i < table->count; ++i)
                if (table->entries[i].ownerPid == self) ++n;
            return n;
        }
        buf.resize(std::max<size_t>(buf.size() * 2, needed + 4096));
    }
    return 0;
}

}  // namespace proctest
