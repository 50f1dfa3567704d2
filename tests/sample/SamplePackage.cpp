#include "SamplePackage.h"

#include <shlobj.h>

#include <stdexcept>

#include "sample/maker/SkinPainter.h"

namespace sampletest {

namespace {

// The servers the installer script registers: class id and DLL name.
const wchar_t* const kServers[][2] = {
    {L"{7B5C103F-DAAF-425E-B3A9-DEDE61F3A6F4}", L"stagehand.dll"},
    {L"{28DFE5B9-610E-4DF7-9ADD-615BE7F7CAFA}", L"browserprobe.dll"},
    {L"{BEC1A81A-489A-40D3-AB06-A516925401C0}", L"toolbarprobe.dll"},
};

void CopyTree(const std::wstring& from, const std::wstring& to) {
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    common::UniqueFindHandle find(::FindFirstFileW(harness::Join(from, L"*").c_str(), &found));
    if (!find) throw std::runtime_error("no sample package at " + harness::Narrow(from) + " (build the target sample)");
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(harness::Join(from, name), harness::Join(to, name));
        else
            harness::CopyFileOrThrow(harness::Join(from, name), harness::Join(to, name));
    } while (::FindNextFileW(find.get(), &found));
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

BOOL CALLBACK CollectText(HWND child, LPARAM text) {
    wchar_t buffer[8192] = L"";
    DWORD_PTR copied = 0;
    if (::SendMessageTimeoutW(child, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                              &copied)) {
        buffer[8191] = L'\0';
        *reinterpret_cast<std::wstring*>(text) += buffer;
        *reinterpret_cast<std::wstring*>(text) += L"\n";
    }
    return TRUE;
}

}  // namespace

const wchar_t SamplePackage::kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessalySampleGame";

std::wstring SamplePackage::GameFolder() { return Folder(CSIDL_PROGRAM_FILES) + L"\\Tessaly\\Sample Game"; }

SamplePackage::SamplePackage() : dir_(L"sample") {
    for (const auto& server : kServers) {
        std::wstring dll;
        harness::ReadString(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + server[0] + L"\\InprocServer32", L"", dll);
        servers_.emplace_back(server[1], dll);
    }
    RemoveInstallation();
    CopyTree(harness::Join(harness::BinDir(), L"..\\sample\\package"), root_);
}

SamplePackage::~SamplePackage() {
    if (process_) {
        ::TerminateProcess(process_.get(), 9999);
        ::WaitForSingleObject(process_.get(), 10000);
    }
    // The servers again from where they were registered before the installer ran.
    for (const auto& server : servers_) {
        if (!server.second.empty())
            harness::Regsvr32(server.second, false);
        else
            harness::Regsvr32(harness::Join(root_, L"bin\\" + server.first), true);
    }
    RemoveInstallation();
}

void SamplePackage::Start(const std::wstring& arguments) {
    std::wstring cmd = L"\"" + harness::Join(root_, L"ignition.exe") + L"\" " + arguments + L" --log=" +
                       harness::Join(root_, L"install.log");
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, root_.c_str(), &si, &pi))
        throw std::runtime_error("cannot start " + harness::Narrow(cmd));
    ::CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
}

bool SamplePackage::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return false;
    if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    ::GetExitCodeProcess(process_.get(), exitCode);
    process_.reset();
    return true;
}

std::string SamplePackage::StepLog() const {
    const std::wstring path = harness::Join(root_, L"install.log");
    return harness::FileExists(path) ? harness::ReadFile(path) : std::string();
}

std::wstring PageTextOf(HWND window) {
    std::wstring text;
    ::EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&text));
    return text;
}

HWND SamplePackage::WaitForPage(const std::wstring& text, DWORD timeoutMs) const {
    const DWORD start = ::GetTickCount();
    do {
        HWND window = ::FindWindowW(nullptr, L"Game Installer");
        if (window && ::IsWindowVisible(window) && PageTextOf(window).find(text) != std::wstring::npos) return window;
        ::Sleep(200);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

void SamplePackage::PressCloseButton(HWND window) {
    // The close button sits 20 pixels left of the top-right corner piece and 10 below
    // the top; the sample skin's corner pieces are kCorner wide.
    RECT client;
    ::GetClientRect(window, &client);
    const int x = client.right - sample::SkinPainter::kCorner - 20 + sample::SkinPainter::kButton / 2;
    const int y = 10 + sample::SkinPainter::kButton / 2;
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void SamplePackage::RemoveInstallation() {
    harness::RemoveTree(GameFolder());
    ::RemoveDirectoryW((Folder(CSIDL_PROGRAM_FILES) + L"\\Tessaly").c_str());
    ::DeleteFileW((Folder(CSIDL_COMMON_PROGRAMS) + L"\\Sample Game.lnk").c_str());
    ::DeleteFileW((Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Sample Game.lnk").c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Tessaly");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".sgsave");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Playdeck.sgsave");
}

}  // namespace sampletest
