#include "dialog/services/processes/CProcessMgr.h"

#include <shellapi.h>

#include <new>
#include <string>
#include <vector>

#include "dialog/services/processes/LowRightsTask.h"
#include "dialog/services/processes/ProcessTree.h"
#include "dialog/services/processes/RestrictedToken.h"

namespace {
// Handle values travel to and from the script as unsigned 32-bit numbers.
HANDLE AsHandle(ULONG value) noexcept { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)); }
ULONG AsNumber(HANDLE h) noexcept { return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(h)); }
// 0 and INVALID_HANDLE_VALUE stand for "no handle".
bool IsBadHandle(ULONG value) noexcept { return value == 0 || value == 0xFFFFFFFFu; }

const DWORD kKilledExitCode = 0xFFFFFFFFu;
}  // namespace

CProcessMgr::CProcessMgr()
    : common::ProvideClassInfo2Impl(__uuidof(CProcessMgr), DIID__IProcessMgrEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__IProcessMgrEvents),
      points_{&propertyNotify_, &events_} {}

// The launched program keeps running; only our handles and the watcher go.
CProcessMgr::~CProcessMgr() { ForgetLaunch(); }

common::ConnectionPoint* const* CProcessMgr::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

void CProcessMgr::ForgetLaunch() noexcept {
    common::ScopedLock hold(launchLock_);
    if (watcher_) {
        watcher_->Stop();
        watcher_ = nullptr;
    }
    process_.reset();
    thread_.reset();
    processId_ = 0;
    threadId_ = 0;
}

DWORD CProcessMgr::TrackedId() noexcept {
    common::ScopedLock hold(launchLock_);
    return process_ ? processId_ : 0;
}

void CProcessMgr::Launch(const wchar_t* mod, const wchar_t* cmdline, STARTUPINFOW& startup, bool watch,
                         const wchar_t* workDir, bool restricted, VARIANT_BOOL* succeeded) noexcept {
    *succeeded = VARIANT_FALSE;
    // The program and its arguments; the platform takes the program from the start, so
    // a path with spaces arrives quoted from the script.
    std::wstring command;
    try {
        command.reserve(wcslen(mod) + wcslen(cmdline) + 2);
        command = mod;
        if (*cmdline) {
            command += L' ';
            command += cmdline;
        }
    } catch (...) {
        return;
    }
    const wchar_t* directory = *workDir ? workDir : nullptr;  // none: the host's current folder

    common::ScopedLock hold(launchLock_);
    ForgetLaunch();

    PROCESS_INFORMATION info = {};
    BOOL created = FALSE;
    if (restricted) {
        RestrictedToken token;
        token.Build();
        // Without a restricted token the program would get the installer's full rights.
        if (token.get())
            created = ::CreateProcessAsUserW(token.get(), nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                             directory, &startup, &info);
        token.Revert();
    } else {
        created = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                                   &info);
    }
    if (!created) return;  // finished flag and exit code keep their values

    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    if (watch) {
        results_.finished = VARIANT_FALSE;
        // Without a watcher the launch still counts; the flag then stays false.
        watcher_ = ProcessWatcher::Start(process_.get(), &results_);
    }
    *succeeded = VARIANT_TRUE;
}

STDMETHODIMP CProcessMgr::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excep, UINT* argErr) {
    RETURN_IF_FAILED(SiteAccess());
    return common::TypeLibDispatch<IProcessMgr>::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
}

STDMETHODIMP CProcessMgr::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (out) *out = nullptr;
    RETURN_IF_FAILED(SiteAccess());
    return ConnectionPointContainerImpl::EnumConnectionPoints(out);
}

STDMETHODIMP CProcessMgr::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (out) *out = nullptr;
    RETURN_IF_FAILED(SiteAccess());
    return ConnectionPointContainerImpl::FindConnectionPoint(riid, out);
}

STDMETHODIMP CProcessMgr::Exec(BSTR* mod, BSTR* cmdline, VARIANT_BOOL hideWindow, VARIANT_BOOL watch, BSTR* workDir,
                               VARIANT_BOOL* succeeded) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(succeeded);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (hideWindow) {
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION;
        startup.wShowWindow = SW_HIDE;
    }
    Launch(common::BstrText(mod), common::BstrText(cmdline), startup, watch != VARIANT_FALSE,
           common::BstrText(workDir), false, succeeded);
    return S_OK;
}

STDMETHODIMP CProcessMgr::CreateLUAProcess(BSTR* mod, BSTR* cmdline, VARIANT_BOOL showWindow, VARIANT_BOOL watch,
                                           BSTR* workDir, VARIANT_BOOL* succeeded) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(succeeded);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (showWindow) {
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION;
        startup.wShowWindow = SW_SHOWNORMAL;
    }
    Launch(common::BstrText(mod), common::BstrText(cmdline), startup, watch != VARIANT_FALSE,
           common::BstrText(workDir), true, succeeded);
    return S_OK;
}

STDMETHODIMP CProcessMgr::IsFinished(VARIANT_BOOL* finished) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(finished);
    Sleep(0);
    *finished = static_cast<VARIANT_BOOL>(results_.finished);
    if (*finished) {
        // A watcher that has published the end has nothing left to do: let it go now
        // rather than at the next launch.
        common::ScopedLock hold(launchLock_);
        if (watcher_ && watcher_->Ended()) {
            watcher_->Stop();
            watcher_ = nullptr;
        }
    }
    return S_OK;
}

STDMETHODIMP CProcessMgr::ExitCode(ULONG* code) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(code);
    *code = static_cast<ULONG>(results_.exitCode);
    return S_OK;
}

STDMETHODIMP CProcessMgr::KillProcess() {
    RETURN_IF_FAILED(SiteAccess());
    if (static_cast<VARIANT_BOOL>(results_.finished) == VARIANT_TRUE) return S_OK;
    common::ScopedLock hold(launchLock_);
    // Already ended or nothing tracked: the termination just fails.
    if (process_) {
        BOOL terminated = ::TerminateProcess(process_.get(), kKilledExitCode);
        (void)terminated;
    }
    return S_OK;
}

STDMETHODIMP CProcessMgr::ShellExec(BSTR file) {
    RETURN_IF_FAILED(SiteAccess());
    // The shell copies what it is given into path-sized buffers (an address of a few
    // hundred characters already overruns one): longer text is refused like any other
    // file that fails to open. Pages can reach this method, so the bound is a guard.
    const wchar_t* text = common::BstrText(file);
    if (::wcslen(text) >= static_cast<size_t>(MAX_PATH)) return S_FALSE;
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, text, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32 ? S_OK : S_FALSE;
}

STDMETHODIMP CProcessMgr::Sleep(ULONG milliseconds) {
    RETURN_IF_FAILED(SiteAccess());
    ::Sleep(milliseconds);
    return S_OK;
}

// --- named mutexes and events ---------------------------------------------------------

STDMETHODIMP CProcessMgr::CreateNamedMutex(BSTR name, ULONG* handle) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(handle);
    const wchar_t* text = common::BstrText(name);
    *handle = AsNumber(::CreateMutexW(nullptr, FALSE, *text ? text : nullptr));
    return S_OK;
}

STDMETHODIMP CProcessMgr::ReleaseMutex(ULONG handle) {
    RETURN_IF_FAILED(SiteAccess());
    BOOL released = ::ReleaseMutex(AsHandle(handle));
    if (!released) {
        DWORD err = ::GetLastError();
        common::DebugLine() << "CProcessMgr::ReleaseMutex failed " << static_cast<int>(released)
                            << common::LastErrSuffix(err);
    }
    return S_OK;
}

STDMETHODIMP CProcessMgr::CloseMutex(ULONG handle) {
    RETURN_IF_FAILED(SiteAccess());
    BOOL closed = ::CloseHandle(AsHandle(handle));
    (void)closed;
    return S_OK;
}

STDMETHODIMP CProcessMgr::ObtainMutex(ULONG handle, VARIANT_BOOL* obtained) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(obtained);
    *obtained = VARIANT_FALSE;
    if (IsBadHandle(handle)) {
        common::DebugOut("CProcessMgr::ObtainMutex bad handle");
        Sleep(0);
        return S_OK;
    }
    DWORD result = ::WaitForSingleObject(AsHandle(handle), 0);
    if (result == WAIT_OBJECT_0) {
        *obtained = VARIANT_TRUE;
    } else {
        // An abandoned mutex (0x80) is owned by this thread now, yet reported as not obtained.
        common::DebugOut("CProcessMgr::ObtainMutex failed:");
        common::DebugErrorSuffix(result);
    }
    Sleep(0);
    return S_OK;
}

STDMETHODIMP CProcessMgr::WaitOnMutex(ULONG handle, INT timeout, VARIANT_BOOL* obtained) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(obtained);
    *obtained = VARIANT_FALSE;
    if (IsBadHandle(handle)) {
        common::DebugOut("CProcessMgr::WaitOnMutex bad handle");
        return S_OK;
    }
    // -1 waits without limit. A time-out sets no error of its own: report 0 then, not
    // whatever an earlier call left behind.
    ::SetLastError(ERROR_SUCCESS);
    DWORD result = ::WaitForSingleObject(AsHandle(handle), static_cast<DWORD>(timeout));
    if (result == WAIT_OBJECT_0) {
        *obtained = VARIANT_TRUE;
    } else if (result == WAIT_ABANDONED) {
        common::DebugOut("WAIT_ABANDONED as owner has gone away");
        *obtained = VARIANT_TRUE;
    } else {
        DWORD err = ::GetLastError();
        common::DebugLine() << "WaitForSingleObject " << static_cast<unsigned long>(result)
                            << common::LastErrSuffix(err);
        common::DebugOut("CProcessMgr::WaitOnMutex failed");
    }
    return S_OK;
}

STDMETHODIMP CProcessMgr::CreateNamedEvent(BSTR name, ULONG* handle) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(handle);
    const wchar_t* text = common::BstrText(name);
    *handle = AsNumber(::CreateEventW(nullptr, FALSE, FALSE, *text ? text : nullptr));
    return S_OK;
}

STDMETHODIMP CProcessMgr::FireEvent(ULONG handle) {
    RETURN_IF_FAILED(SiteAccess());
    if (IsBadHandle(handle)) return S_OK;
    BOOL set = ::SetEvent(AsHandle(handle));
    (void)set;
    return S_OK;
}

STDMETHODIMP CProcessMgr::CloseEvent(ULONG handle) {
    RETURN_IF_FAILED(SiteAccess());
    if (IsBadHandle(handle)) return S_OK;
    BOOL closed = ::CloseHandle(AsHandle(handle));
    (void)closed;
    return S_OK;
}

// --- reduced-privilege launches and the process tree ------------------------------------

STDMETHODIMP CProcessMgr::CreateVistaTaskLow(BSTR bstrExecutablePath, BSTR bstrArguments, BSTR workDir) {
    RETURN_IF_FAILED(SiteAccess());
    return LowRightsTask::Register(bstrExecutablePath, bstrArguments, workDir);
}

STDMETHODIMP CProcessMgr::ExecLow(BSTR executablePath, BSTR cmdline, BSTR* workDir, VARIANT_BOOL* succeeded) {
    RETURN_IF_FAILED(SiteAccess());
    if (!succeeded) return E_FAIL;
    HRESULT hr = CreateVistaTaskLow(executablePath, cmdline, workDir ? *workDir : nullptr);
    if (SUCCEEDED(hr)) {
        *succeeded = VARIANT_TRUE;
        return hr;
    }
    // No scheduler: start it directly (visible, unwatched) with the installer's own rights.
    return Exec(&executablePath, &cmdline, VARIANT_FALSE, VARIANT_FALSE, workDir, succeeded);
}

STDMETHODIMP CProcessMgr::HasChildren(VARIANT_BOOL* children) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(children);
    Sleep(0);
    *children = VARIANT_FALSE;
    // A program the watcher has seen end counts as having none, orphans or not.
    if (static_cast<VARIANT_BOOL>(results_.finished) == VARIANT_TRUE) return S_OK;
    try {
        ProcessTree tree;
        if (tree.Snapshot() && !tree.Descendants(TrackedId()).empty()) *children = VARIANT_TRUE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CProcessMgr::KillProcessAndDescendants() {
    RETURN_IF_FAILED(SiteAccess());
    // The listing comes first, while the parent links are still those of the running tree.
    std::vector<DWORD> descendants;
    try {
        ProcessTree tree;
        if (tree.Snapshot()) descendants = tree.Descendants(TrackedId());
    } catch (const std::bad_alloc&) {
        descendants.clear();  // without memory for the list, still end the program itself
    }
    {
        common::ScopedLock hold(launchLock_);
        if (process_) {
            BOOL terminated = ::TerminateProcess(process_.get(), kKilledExitCode);
            (void)terminated;
        }
    }
    for (DWORD id : descendants) {
        common::UniqueHandle p(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
        if (!p) continue;  // gone already, or no access
        BOOL terminated = ::TerminateProcess(p.get(), kKilledExitCode);
        (void)terminated;
    }
    return S_OK;
}
