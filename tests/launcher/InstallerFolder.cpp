#include "InstallerFolder.h"

#include <sstream>

namespace launchertest {

using harness::BinDir;
using harness::CopyFileOrThrow;

InstallerFolder::InstallerFolder() : dir_(L"ign") {
    ::CreateDirectoryW((dir_ / L"bin").c_str(), nullptr);
    CopyFileOrThrow(harness::Join(BinDir(), L"ignition.exe"), Exe());
    CopyFileOrThrow(harness::Join(BinDir(), L"scriptdeck_standin.exe"), Bin(L"scriptdeck.exe"));
    CopyFileOrThrow(harness::Join(BinDir(), L"stagehand_standin.dll"), Bin(L"stagehand.dll"));
}

void InstallerFolder::SetUnregisterResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    harness::WriteFile(Bin(L"stagehand.result"), text);
}

void InstallerFolder::RemoveStagehand() { ::DeleteFileW(Bin(L"stagehand.dll").c_str()); }

void InstallerFolder::SetEngineExitCode(int code) {
    harness::WriteFile(Bin(L"scriptdeck.exitcode"), std::to_string(code));
}

void InstallerFolder::SetEngineWaitEvent(const std::wstring& name) {
    harness::WriteFile(Bin(L"scriptdeck.wait"), harness::Narrow(name));
}

bool InstallerFolder::EngineStarted() const { return harness::FileExists(Bin(L"scriptdeck.record")); }

std::vector<std::string> InstallerFolder::EngineRecord() const {
    std::vector<std::string> lines;
    std::istringstream in(harness::ReadFile(Bin(L"scriptdeck.record")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string InstallerFolder::StagehandCalls() const { return harness::ReadFile(Bin(L"stagehand.calls")); }

}  // namespace launchertest
