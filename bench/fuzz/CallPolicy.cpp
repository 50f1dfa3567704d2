#include "CallPolicy.h"

#include <cwchar>

namespace fuzz {

namespace {

const wchar_t kAnswered[] = L"shows a box or dialog: answered by the bench as soon as it is up";
const wchar_t kPrograms[] = L"starts programs: absent ones only";
const wchar_t kFiles[] = L"writes files: the scratch folder only";
const wchar_t kRegistry[] = L"writes the registry: the scratch branch and relative names only";
const wchar_t kSmall[] = L"sleeps or sizes: small numbers only";

const MethodPolicy kPolicies[] = {
    {L"Stagehand.InstallDlgCtl", L"DisplayError", L"", kAnswered},
    {L"Stagehand.InstallDlgCtl", L"DisplayErrorYN", L"", kAnswered},
    {L"Stagehand.InstallDlgCtl", L"DisplayErrorString", L"", kAnswered},
    {L"Stagehand.InstallDlgCtl", L"DisplayWarning", L"", kAnswered},
    {L"Stagehand.InstallDlgCtl", L"DisplayErrorRetryCancel", L"", kAnswered},
    {L"Stagehand.InstallDlgCtl", L"WaitOnClose", nullptr, L"waits until the window closes"},
    {L"Stagehand.InstallDlgCtl", L"Navigate", nullptr, L"waits for the page: the page-script row navigates to a real one"},
    {L"Stagehand.InstallDlgCtl", L"NavigateQ", nullptr, L"waits for the page: the page-script row navigates to a real one"},
    {L"Stagehand.InstallDlgCtl", L"SendQDownloadMsg", nullptr, L"broadcasts to every window of the machine"},
    {L"Stagehand.InstallDlgCtl", L"Create", L"wwn", kSmall},
    {L"Stagehand.InstallDlgCtl", L"SetSize", L"ww", kSmall},
    {L"Stagehand.InstallDlgCtl", L"InitializeCandy", L"a", L"loads a library: absent ones only"},
    {L"Stagehand.InstallDlgCtl", L"InitFrame", L"s", L"reads a skin folder: the scratch folder only"},
    {L"DOZUvidaruve.StateCtrl", L"DisplayFolderChooser", L"", kAnswered},
    {L"PebbleUtil.ProcessMgr", L"Exec", L"aaffs", kPrograms},
    {L"PebbleUtil.ProcessMgr", L"ExecLow", L"aas", kPrograms},
    {L"PebbleUtil.ProcessMgr", L"CreateLUAProcess", L"aaffs", kPrograms},
    {L"PebbleUtil.ProcessMgr", L"CreateVistaTaskLow", L"aas", kPrograms},
    {L"PebbleUtil.ProcessMgr", L"ShellExec", L"a", kPrograms},
    {L"PebbleUtil.ProcessMgr", L"Sleep", L"n", kSmall},
    {L"PebbleUtil.ProcessMgr", L"WaitOnMutex", L"fn", kSmall},
    {L"PebbleUtil.ShellCtl", L"ShellExec", L"af", kPrograms},
    {L"PebbleUtil.ShellCtl", L"ShellExecRunAs", L"af", kPrograms},
    {L"PebbleUtil.ShellCtl", L"InstallFromCD", L"ffffsf", kPrograms},
    {L"PebbleUtil.ShellCtl", L"KillProcess", L"a", L"ends processes by name: absent names only"},
    {L"PebbleUtil.ShellCtl", L"CreateShortcut", L"sssss", kFiles},
    {L"PebbleUtil.ShellCtl", L"DeleteShortcut", L"s", kFiles},
    {L"PebbleUtil.ShellCtl", L"CopyDocument", L"ss", kFiles},
    {L"PebbleUtil.ShellCtl", L"DeleteOnReboot", L"s", kFiles},
    {L"PebbleUtil.ShellCtl", L"SetWorkingDir", L"s", kFiles},
    {L"PebbleUtil.RegAccess", L"OpenKey", L"hr", kRegistry},
    {L"PebbleUtil.RegAccess", L"CreateSubKey", L"kfff", kRegistry},
    {L"PebbleUtil.RegAccess", L"CreateMLSubKey", L"kfff", kRegistry},
    {L"PebbleUtil.RegAccess", L"DeleteKey", L"k", kRegistry},
    {L"PebbleUtil.RegAccess", L"RegDeleteTree", L"k", kRegistry},
    {L"PebbleUtil.RegAccess", L"InstallProgramType", L"aakf", kRegistry},
    {L"PebbleUtil.RegAccess", L"RegMimeType", L"kf", kRegistry},
    {L"PebbleUtil.UnRar", L"Unpack", L"ss", kFiles},
    {L"browserprobe.ChromeCompatibilityChecker", L"StartGoogleChrome", nullptr,
     L"starts the browser the machine has"},
};

}  // namespace

const MethodPolicy* FindPolicy(const std::wstring& progId, const std::wstring& method) {
    for (const auto& p : kPolicies)
        if (_wcsicmp(p.progId, progId.c_str()) == 0 && _wcsicmp(p.method, method.c_str()) == 0) return &p;
    return nullptr;
}

std::wstring DescribePolicies(const std::wstring& progId) {
    std::wstring out;
    for (const auto& p : kPolicies) {
        if (_wcsicmp(p.progId, progId.c_str()) != 0) continue;
        out += L"    ";
        out += p.method;
        out += p.kinds ? L": bounded, " : L": skipped, ";
        out += p.reason;
        out += L"\n";
    }
    return out;
}

}  // namespace fuzz
