#include "BrowserStandIn.h"

#include <shlwapi.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "common/Handle.h"

namespace {
const wchar_t kAppKey[] = L"Applications\\chrome.exe";
const wchar_t kCommandKey[] = L"Applications\\chrome.exe\\shell\\open\\command";
}  // namespace

BrowserStandIn::BrowserStandIn() : dir_(L"browser"), log_(dir_ / L"browser.log") {
    Unregister();
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_LOG", log_.c_str());
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_DELAY_MS", L"0");
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_LIFETIME_MS", L"15000");
}

BrowserStandIn::~BrowserStandIn() {
    EndProcesses();
    Unregister();
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_LOG", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_DELAY_MS", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_LIFETIME_MS", nullptr);
}

std::wstring BrowserStandIn::Install(const std::wstring& relativePath) {
    const std::wstring target = dir_ / relativePath;
    const size_t slash = target.find_last_of(L'\\');
    if (slash != std::wstring::npos) ::CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), L"browser_standin.exe"), target);
    return target;
}

void BrowserStandIn::Register(const std::wstring& command) {
    common::UniqueKey key;
    LONG e = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (e != ERROR_SUCCESS) throw std::runtime_error("can't create the open-command key");
    e = ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    if (e != ERROR_SUCCESS) throw std::runtime_error("can't write the open command");
}

void BrowserStandIn::Unregister() { ::SHDeleteKeyW(HKEY_CLASSES_ROOT, kAppKey); }

void BrowserStandIn::WindowAfter(DWORD delayMs) {
    ::SetEnvironmentVariableW(L"PROBE_BROWSER_DELAY_MS", std::to_wstring(delayMs).c_str());
}

void BrowserStandIn::NoWindow() { ::SetEnvironmentVariableW(L"PROBE_BROWSER_DELAY_MS", L"never"); }

std::vector<std::string> BrowserStandIn::Log() const {
    std::vector<std::string> lines;
    if (!harness::FileExists(log_)) return lines;
    std::istringstream in(harness::ReadFile(log_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> BrowserStandIn::Values(const std::string& key) const {
    std::vector<std::string> values;
    const std::string prefix = key + "=";
    for (const auto& line : Log())
        if (line.rfind(prefix, 0) == 0) values.push_back(line.substr(prefix.size()));
    return values;
}

bool BrowserStandIn::WaitForLine(const std::string& wanted, DWORD timeoutMs) const {
    const DWORD start = ::GetTickCount();
    for (;;) {
        for (const auto& line : Log())
            if (line == wanted) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(50);
    }
}

bool BrowserStandIn::WindowExists() { return ::FindWindowW(L"Chrome_WidgetWin_0", nullptr) != nullptr; }

void BrowserStandIn::EndProcesses() {
    for (const auto& pid : Values("pid")) {
        common::UniqueHandle process(
            ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::strtoul(pid.c_str(), nullptr, 10)));
        if (!process) continue;
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), 5000);
    }
}
