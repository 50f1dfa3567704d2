#include "VendorStandIn.h"

#include <sstream>

VendorStandIn::VendorStandIn(const wchar_t* builtName, const wchar_t* vendorName)
    : dir_(L"vendor"), vendorName_(vendorName), log_(dir_ / L"vendor.log") {
    if (builtName) harness::CopyFileOrThrow(harness::Join(harness::BinDir(), builtName), dir_ / vendorName);
    ::SetDllDirectoryW(dir_.path().c_str());
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_LOG", log_.c_str());
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_ANSWER", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_REASONS", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_THREAD", nullptr);
}

VendorStandIn::~VendorStandIn() {
    ::SetDllDirectoryW(nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_LOG", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_ANSWER", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_REASONS", nullptr);
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_THREAD", nullptr);
}

void VendorStandIn::LogThreads() { ::SetEnvironmentVariableW(L"PROBE_VENDOR_THREAD", L"1"); }

void VendorStandIn::Answer(DWORD result) {
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_ANSWER", std::to_wstring(result).c_str());
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_REASONS", nullptr);
}

void VendorStandIn::Answer(DWORD result, DWORD reasons) {
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_ANSWER", std::to_wstring(result).c_str());
    ::SetEnvironmentVariableW(L"PROBE_VENDOR_REASONS", std::to_wstring(reasons).c_str());
}

std::vector<std::string> VendorStandIn::Log() const {
    std::vector<std::string> lines;
    if (!harness::FileExists(log_)) return lines;
    std::istringstream in(harness::ReadFile(log_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> VendorStandIn::Calls() const {
    std::vector<std::string> calls;
    for (const auto& line : Log())
        if (line.rfind("call ", 0) == 0) calls.push_back(line);
    return calls;
}

bool VendorStandIn::Loaded() const { return ::GetModuleHandleW(vendorName_.c_str()) != nullptr; }
