#include "dialog/services/shell/CShellCtl.h"

#include <shellapi.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "dialog/services/shell/DriveChooser.h"
#include "dialog/services/shell/MachineId.h"
#include "dialog/services/shell/PlatformReport.h"
#include "dialog/services/shell/ProcessKiller.h"
#include "dialog/services/shell/ProgramsWindowRefresher.h"
#include "dialog/window/WindowClassNames.h"
#include "common/TextConvert.h"

using common::BstrText;
using common::NoThrow;

namespace {

// Full path of the host executable (the process that loaded the server), however long.
bool HostExecutablePath(std::wstring& path) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return false;
        if (n < buf.size()) {
            buf.resize(n);
            path.swap(buf);
            return true;
        }
        if (buf.size() >= 32768) return false;
        buf.resize(buf.size() * 2);
    }
}

// Hands text to an [out, retval] string; E_OUTOFMEMORY when it can't be allocated.
HRESULT ReturnText(const std::wstring& text, BSTR* out) noexcept {
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring SameText(const wchar_t* s) { return s; }

// For the ANSI shell-link interface: the thread's ANSI code page.
std::string ThreadAnsi(const wchar_t* s) { return common::ToNarrow(s); }

struct LinkFields {
    const wchar_t* target;
    const wchar_t* icon;
    const wchar_t* workingDir;
    const wchar_t* args;
};

// Fills a shell link (wide or ANSI interface; conv makes the text the interface takes)
// and saves it to file. The first failing call ends it with its HRESULT.
template <class Link, class Conv>
HRESULT FillAndSave(Link* link, Conv conv, const std::wstring& file, const LinkFields& f) {
    if (*f.target) {
        RETURN_IF_FAILED(link->SetPath(conv(f.target).c_str()));
    } else {
        std::wstring host;
        if (!HostExecutablePath(host)) return S_FALSE;
        RETURN_IF_FAILED(link->SetPath(conv(host.c_str()).c_str()));
    }
    if (*f.workingDir) RETURN_IF_FAILED(link->SetWorkingDirectory(conv(f.workingDir).c_str()));
    if (*f.args) RETURN_IF_FAILED(link->SetArguments(conv(f.args).c_str()));
    if (*f.icon) RETURN_IF_FAILED(link->SetIconLocation(conv(f.icon).c_str(), 0));
    // The show command is cosmetic: a link that can't carry it is still written.
    const HRESULT showResult = link->SetShowCmd(SW_SHOWNORMAL);
    (void)showResult;

    common::ComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) || !persist) return S_FALSE;
    RETURN_IF_FAILED(persist->Save(file.c_str(), TRUE));
    RETURN_IF_FAILED(persist->SaveCompleted(file.c_str()));
    return S_OK;
}

struct ForegroundSearch {
    HWND found;
};

BOOL CALLBACK FindInstallerFrame(HWND wnd, LPARAM param) {
    wchar_t cls[64] = {};
    int n = ::GetClassNameW(wnd, cls, 64);
    if (n <= 0 || std::wcscmp(cls, stagehand::kInstallerFrameClass) != 0) return TRUE;
    reinterpret_cast<ForegroundSearch*>(param)->found = wnd;
    return FALSE;
}

}  // namespace

CShellCtl::CShellCtl() : common::ProvideClassInfoImpl(__uuidof(CShellCtl)) {}

CShellCtl::~CShellCtl() = default;

STDMETHODIMP CShellCtl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excep, UINT* argErr) {
    RETURN_IF_FAILED(SiteAccess());
    return common::TypeLibDispatch<IShellCtl>::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
}

STDMETHODIMP CShellCtl::CreateShortcut(BSTR* name, BSTR* target, BSTR* icon, BSTR* workingDir, BSTR* args) {
    RETURN_IF_FAILED(SiteAccess());
    return NoThrow([&]() -> HRESULT {
        const std::wstring file = BstrText(name);
        const LinkFields fields = {BstrText(target), BstrText(icon), BstrText(workingDir), BstrText(args)};

        common::ComPtr<IShellLinkW> wide;
        HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                        wide.put_void());
        if (SUCCEEDED(hr)) return FillAndSave(wide.get(), &SameText, file, fields);

        common::ComPtr<IShellLinkA> ansi;
        RETURN_IF_FAILED(
            ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, ansi.put_void()));
        return FillAndSave(ansi.get(), &ThreadAnsi, file, fields);
    });
}

STDMETHODIMP CShellCtl::DeleteShortcut(BSTR* name) {
    RETURN_IF_FAILED(SiteAccess());
    // A shortcut that is already gone is as good as deleted.
    const BOOL deleted = ::DeleteFileW(BstrText(name));
    (void)deleted;
    return S_OK;
}

STDMETHODIMP CShellCtl::ModuleFileName(BSTR* name) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(name);
    *name = nullptr;
    return NoThrow([&]() -> HRESULT {
        std::wstring path;
        if (!HostExecutablePath(path)) return S_FALSE;
        return ReturnText(path, name);
    });
}

STDMETHODIMP CShellCtl::GetSpecialFolder(ULONG csidl, BSTR* dir) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(dir);
    *dir = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, static_cast<int>(csidl), FALSE)) return S_FALSE;
    *dir = ::SysAllocString(path);
    return *dir ? S_OK : S_FALSE;
}

STDMETHODIMP CShellCtl::CheckWnd(BSTR* windowTitle, VARIANT_BOOL* windowFound) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(windowFound);
    *windowFound = ::FindWindowW(nullptr, BstrText(windowTitle)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CShellCtl::ExistingTPS(BSTR* iniFile, BSTR* tpsValue) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(tpsValue);
    *tpsValue = nullptr;
    wchar_t value[512] = {};
    // The profile reader builds the file's full path in a MAX_PATH buffer (a bare name
    // lies in the Windows folder) and overruns it for longer names: such a file can't
    // exist, so the default answers without asking.
    const wchar_t* name = BstrText(iniFile);
    size_t reach = ::wcslen(name);
    if (!::wcschr(name, L'\\') && !::wcschr(name, L'/')) {
        wchar_t windows[MAX_PATH];
        const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
        reach += (n > 0 && n < MAX_PATH) ? n + 1 : MAX_PATH;
    }
    if (reach >= MAX_PATH)
        ::lstrcpynW(value, L"none_", 512);
    else
        ::GetPrivateProfileStringW(L"TPS", L"TPS", L"none_", value, 512, name);
    *tpsValue = ::SysAllocString(value);
    return *tpsValue ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CShellCtl::SetWorkingDir(BSTR* path) {
    RETURN_IF_FAILED(SiteAccess());
    return ::SetCurrentDirectoryW(BstrText(path)) ? S_OK : S_FALSE;
}

STDMETHODIMP CShellCtl::GetWorkingDir(BSTR* path) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(path);
    *path = nullptr;
    return NoThrow([&]() -> HRESULT {
        // The size is asked for first: a current directory may be longer than MAX_PATH.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
            if (needed == 0) return S_FALSE;
            std::wstring dir(needed, L'\0');
            DWORD n = ::GetCurrentDirectoryW(needed, &dir[0]);
            if (n == 0) return S_FALSE;
            if (n < needed) {
                dir.resize(n);
                return ReturnText(dir, path) == S_OK ? S_OK : S_FALSE;
            }
        }
        return S_FALSE;  // the directory kept changing under us
    });
}

STDMETHODIMP CShellCtl::OSVersion(DOUBLE* version) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(version);
    *version = 0;
    DWORD major = 0;
    if (!stagehand::PlatformReport().MajorVersion(major)) return S_FALSE;
    *version = static_cast<DOUBLE>(major);
    return S_OK;
}

STDMETHODIMP CShellCtl::GetSystemID(BSTR* pID) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(pID);
    *pID = nullptr;
    return NoThrow([&]() -> HRESULT { return ReturnText(stagehand::MachineId().Text(), pID); });
}

STDMETHODIMP CShellCtl::InstallFromCD(BSTR GameID, BSTR GameName, BSTR Tps, BSTR GameLang, BSTR CDPath,
                                      BSTR StoreFront) {
    RETURN_IF_FAILED(SiteAccess());
    return NoThrow([&]() -> HRESULT {
        const std::wstring disc = BstrText(CDPath);
        const std::wstring workDir = disc + L"\\common";
        // The last value has no closing quotation mark: the argument parser lets an
        // open quotation run to the end of the line, and ignition relies on that form.
        std::wstring cmd;
        cmd += L"\"" + disc + L"\\common\\bin\\ignition.exe\" cdinstall bundleInstall.xml gameid=\"";
        cmd += BstrText(GameID);
        cmd += L"\" gamename=\"";
        cmd += BstrText(GameName);
        cmd += L"\" cdroot=\"";
        cmd += disc;
        cmd += L"\" tps=\"";
        cmd += BstrText(Tps);
        cmd += L"\" gamelang=\"";
        cmd += BstrText(GameLang);
        cmd += L"\" StoreFront=\"";
        cmd += BstrText(StoreFront);

        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        // The disc installer runs on its own; nothing here waits for it or reports on it.
        if (::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &si, &pi)) {
            common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        }
        return S_OK;
    });
}

STDMETHODIMP CShellCtl::KillProcess(BSTR imageName, ULONG* killResult) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(killResult);
    *killResult = 0;
    return NoThrow([&]() -> HRESULT {
        return stagehand::ProcessKiller().Kill(BstrText(imageName), *killResult) ? S_OK : S_FALSE;
    });
}

STDMETHODIMP CShellCtl::RefreshAddRemovePrograms() {
    RETURN_IF_FAILED(SiteAccess());
    return NoThrow([&]() -> HRESULT {
        // Whether a window was there to refresh is nobody's concern.
        const bool refreshed = stagehand::ProgramsWindowRefresher::Refresh();
        (void)refreshed;
        return S_OK;
    });
}

namespace {

HRESULT ShellRun(const wchar_t* verb, BSTR file, BSTR params) {
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    sei.lpVerb = verb;
    sei.lpFile = BstrText(file);
    sei.lpParameters = BstrText(params);
    sei.nShow = SW_HIDE;
    return ::ShellExecuteExW(&sei) ? S_OK : S_FALSE;
}

}  // namespace

STDMETHODIMP CShellCtl::ShellExec(BSTR FilePath, BSTR Params) {
    RETURN_IF_FAILED(SiteAccess());
    return ShellRun(L"open", FilePath, Params);
}

STDMETHODIMP CShellCtl::ShellExecRunAs(BSTR FilePath, BSTR Params) {
    RETURN_IF_FAILED(SiteAccess());
    return ShellRun(L"runas", FilePath, Params);
}

STDMETHODIMP CShellCtl::PlatformInfo(BSTR* info) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(info);
    *info = nullptr;
    return NoThrow([&]() -> HRESULT { return ReturnText(stagehand::PlatformReport().Text(), info); });
}

STDMETHODIMP CShellCtl::GetAvailableDrive(INT reqSpace, BSTR* drive) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(drive);
    *drive = nullptr;
    return NoThrow([&]() -> HRESULT { return ReturnText(stagehand::DriveChooser().Choose(reqSpace), drive); });
}

STDMETHODIMP CShellCtl::CopyDocument(BSTR src, BSTR dest, VARIANT_BOOL* canCopy) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_HR_IF(E_INVALIDARG, src == nullptr || dest == nullptr);
    RETURN_IF_NULL(canCopy);
    *canCopy = ::CopyFileW(src, dest, FALSE) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CShellCtl::InstallerToForeground() {
    RETURN_IF_FAILED(SiteAccess());
    ForegroundSearch search = {nullptr};
    ::SetLastError(ERROR_SUCCESS);
    const BOOL walked = ::EnumWindows(&FindInstallerFrame, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
        // Bringing a window forward is a request the system may refuse; the window
        // was found, which is all the caller asked to know.
        const BOOL raised = ::SetForegroundWindow(search.found);
        (void)raised;
        return S_OK;
    }
    if (!walked) {
        const DWORD error = ::GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : S_OK;
    }
    return S_OK;
}

STDMETHODIMP CShellCtl::GetFolderPath(ULONG csidl, BSTR* dir) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(dir);
    *dir = nullptr;
    wchar_t path[MAX_PATH] = {};
    const HRESULT hr = ::SHGetFolderPathW(nullptr, static_cast<int>(csidl), nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(hr)) return hr;
    *dir = ::SysAllocString(path);
    return *dir ? S_OK : S_FALSE;
}

STDMETHODIMP CShellCtl::GetPid(INT* pPid) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(pPid);
    *pPid = static_cast<INT>(::GetCurrentProcessId());
    return S_OK;
}

STDMETHODIMP CShellCtl::LogMessage(BSTR* message) {
    RETURN_IF_FAILED(SiteAccess());
    const wchar_t* text = BstrText(message);
    common::Bstr copy(text, static_cast<UINT>(std::wcslen(text)));
    if (!copy) return E_OUTOFMEMORY;
    ::OutputDebugStringW(copy.c_str());
    return S_OK;
}

STDMETHODIMP CShellCtl::DeleteOnReboot(BSTR filename) {
    RETURN_IF_FAILED(SiteAccess());
    const wchar_t* file = BstrText(filename);
    if (!::MoveFileExW(file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        const DWORD error = ::GetLastError();
        NoThrow([&]() -> HRESULT {
            common::DebugError((std::wstring(L"Failed to MoveFileEx") + file).c_str(), error);
            return S_OK;
        });
    }
    return S_OK;
}
