#include "IgnitionRun.h"

#include <gtest/gtest.h>

#include "common/Handle.h"

namespace launchertest {

using common::UniqueHandle;

std::string RunResult::DebugText() const {
    std::string all;
    for (auto& f : debug) all += f;
    return all;
}

std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');  // before the closing quote
    return out + L"\"";
}

RunResult RunProcess(const std::wstring& commandLine, const std::wstring& workDir, const RunOptions& options) {
    RunResult r;
    harness::DebugCapture debug;

    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = commandLine;
    const DWORD flags = CREATE_SUSPENDED;
    const wchar_t* dir = workDir.empty() ? nullptr : workDir.c_str();
    BOOL ok = options.token
                  ? ::CreateProcessAsUserW(options.token, nullptr, &cmd[0], nullptr, nullptr, FALSE, flags, nullptr,
                                           dir, &si, &pi)
                  : ::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, flags, nullptr, dir, &si, &pi);
    if (!ok) {
        ADD_FAILURE() << "cannot start (" << ::GetLastError() << "): " << harness::Narrow(commandLine);
        return r;
    }
    r.started = true;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    r.pid = pi.dwProcessId;
    debug.AddPid(pi.dwProcessId);
    {
        harness::BoxAnswerer boxes(IDOK, pi.dwProcessId);
        ::ResumeThread(thread.get());
        if (options.whileRunning) options.whileRunning(process.get(), debug);
        if (::WaitForSingleObject(process.get(), options.timeoutMs) != WAIT_OBJECT_0) {
            r.timedOut = true;
            ::TerminateProcess(process.get(), 9999);
            ::WaitForSingleObject(process.get(), 5000);
        }
        ::GetExitCodeProcess(process.get(), &r.exitCode);
        r.boxes = boxes.Seen();
    }
    ::Sleep(100);  // a fragment written just before the exit may still be in flight
    r.debug = debug.Fragments();
    return r;
}

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::wstring& key, const std::wstring& name)
    : root_(root), key_(key), name_(name) {
    common::UniqueKey k;
    keyExisted_ = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS;
    if (!keyExisted_) return;
    DWORD size = 0;
    if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
    data_.resize(size);
    existed_ = ::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
    data_.resize(size);
}

RegistryValueGuard::~RegistryValueGuard() {
    common::UniqueKey k;
    if (::RegOpenKeyExW(root_, key_.c_str(), 0, KEY_SET_VALUE, k.put()) != ERROR_SUCCESS) return;
    if (existed_)
        ::RegSetValueExW(k.get(), name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        ::RegDeleteValueW(k.get(), name_.c_str());
    k.reset();
    if (!keyExisted_) ::RegDeleteKeyW(root_, key_.c_str());
}

}  // namespace launchertest
