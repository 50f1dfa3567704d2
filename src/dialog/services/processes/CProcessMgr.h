#pragma once

#include "dialog/module/StagehandTypes.h"
#include "dialog/sitelock/SiteLock.h"
#include "dialog/services/processes/ProcessWatcher.h"

// PebbleUtil.ProcessMgr: starts programs for the installer script and watches the last
// one (IsFinished, ExitCode), named mutexes and events for coordinating with other
// processes, launches without the installer's elevation (restricted token, task
// scheduler) and the process tree below the last launch.
class CProcessMgr : public common::ComObjectRoot,
    public common::TypeLibDispatch<IProcessMgr>,
    public common::ConnectionPointContainerImpl,
    public stagehand::SiteLock,
    public common::ProvideClassInfo2Impl {
public:
    CProcessMgr();
    ~CProcessMgr() override;

    COM_INTERFACE_MAP_BEGIN(IProcessMgr)
    COM_INTERFACE(IProcessMgr)
    COM_INTERFACE2(IDispatch, IProcessMgr)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE(IProvideClassInfo2)
    COM_INTERFACE2(IProvideClassInfo, IProvideClassInfo2)
    COM_INTERFACE(IObjectWithSite)
    COM_INTERFACE_MAP_END()

    // IDispatch: every call is refused while a site has locked the object (SiteLock);
    // name lookups and type information stay answered.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;
    // IConnectionPointContainer: refused the same way.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IProcessMgr
    STDMETHODIMP Exec(BSTR *mod, BSTR *cmdline, VARIANT_BOOL hideWindow, VARIANT_BOOL watch, BSTR *workDir, VARIANT_BOOL *succeeded) override;
    STDMETHODIMP IsFinished(VARIANT_BOOL *finished) override;
    STDMETHODIMP CreateNamedMutex(BSTR name, ULONG *handle) override;
    STDMETHODIMP ReleaseMutex(ULONG handle) override;
    STDMETHODIMP CloseMutex(ULONG handle) override;
    STDMETHODIMP ObtainMutex(ULONG handle, VARIANT_BOOL *obtained) override;
    STDMETHODIMP WaitOnMutex(ULONG handle, INT timeout, VARIANT_BOOL *obtained) override;
    STDMETHODIMP CloseEvent(ULONG handle) override;
    STDMETHODIMP FireEvent(ULONG handle) override;
    STDMETHODIMP CreateNamedEvent(BSTR name, ULONG *handle) override;
    STDMETHODIMP ExitCode(ULONG *code) override;
    STDMETHODIMP CreateVistaTaskLow(BSTR bstrExecutablePath, BSTR bstrArguments, BSTR workDir) override;
    STDMETHODIMP ExecLow(BSTR executablePath, BSTR cmdline, BSTR *workDir, VARIANT_BOOL *succeeded) override;
    STDMETHODIMP ShellExec(BSTR file) override;
    STDMETHODIMP Sleep(ULONG milliseconds) override;
    STDMETHODIMP CreateLUAProcess(BSTR *mod, BSTR *cmdline, VARIANT_BOOL showWindow, VARIANT_BOOL watch, BSTR *workDir, VARIANT_BOOL *succeeded) override;
    STDMETHODIMP HasChildren(VARIANT_BOOL *children) override;
    STDMETHODIMP KillProcess() override;
    STDMETHODIMP KillProcessAndDescendants() override;

protected:
    common::ConnectionPoint* const* Points(size_t& count) noexcept override;

private:
    // Starts `mod` (and `cmdline` after a space) as Exec and CreateLUAProcess do:
    // `restricted` runs it with a restricted copy of the host's token, and not at all
    // when no such copy can be made.
    void Launch(const wchar_t* mod, const wchar_t* cmdline, STARTUPINFOW& startup, bool watch,
                const wchar_t* workDir, bool restricted, VARIANT_BOOL* succeeded) noexcept;
    // Closes the handles of the last launch and detaches its watcher.
    void ForgetLaunch() noexcept;
    // Id of the tracked process; 0 without one.
    DWORD TrackedId() noexcept;

    // The last launch. The script calls on one thread, but the lock keeps the handles
    // consistent should two threads share the object.
    common::CriticalSection launchLock_;
    common::UniqueHandle process_;
    common::UniqueHandle thread_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    ProcessWatcher* watcher_ = nullptr;
    // Finished flag (false) and exit code (0) until a watcher of a watched launch sets them.
    ProcessWatcher::Results results_ = {VARIANT_FALSE, 0};

    common::ConnectionPoint propertyNotify_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[2];
};
