#pragma once

#include "StagehandTypes.h"

class CProcessMgr : public common::ComObjectRoot,
    public common::TypeLibDispatch<IProcessMgr>,
    public common::ConnectionPointContainerImpl,
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
    COM_INTERFACE_MAP_END()

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
    common::ConnectionPoint propertyNotify_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[2];
};
