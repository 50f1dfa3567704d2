#include "ProcessTestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

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

DWORD HandleCount() {
    DWORD n = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &n);
    return n;
}

}  // namespace proctest
