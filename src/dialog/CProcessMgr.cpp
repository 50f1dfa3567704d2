#include "CProcessMgr.h"

CProcessMgr::CProcessMgr()
    : common::ProvideClassInfo2Impl(__uuidof(CProcessMgr), DIID__IProcessMgrEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__IProcessMgrEvents),
      points_{&propertyNotify_, &events_} {}

CProcessMgr::~CProcessMgr() = default;

common::ConnectionPoint* const* CProcessMgr::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

STDMETHODIMP CProcessMgr::Exec(BSTR *mod, BSTR *cmdline, VARIANT_BOOL hideWindow, VARIANT_BOOL watch, BSTR *workDir, VARIANT_BOOL *succeeded) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::IsFinished(VARIANT_BOOL *finished) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CreateNamedMutex(BSTR name, ULONG *handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::ReleaseMutex(ULONG handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CloseMutex(ULONG handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::ObtainMutex(ULONG handle, VARIANT_BOOL *obtained) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::WaitOnMutex(ULONG handle, INT timeout, VARIANT_BOOL *obtained) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CloseEvent(ULONG handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::FireEvent(ULONG handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CreateNamedEvent(BSTR name, ULONG *handle) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::ExitCode(ULONG *code) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CreateVistaTaskLow(BSTR bstrExecutablePath, BSTR bstrArguments, BSTR workDir) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::ExecLow(BSTR executablePath, BSTR cmdline, BSTR *workDir, VARIANT_BOOL *succeeded) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::ShellExec(BSTR file) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::Sleep(ULONG milliseconds) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::CreateLUAProcess(BSTR *mod, BSTR *cmdline, VARIANT_BOOL showWindow, VARIANT_BOOL watch, BSTR *workDir, VARIANT_BOOL *succeeded) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::HasChildren(VARIANT_BOOL *children) { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::KillProcess() { return E_NOTIMPL; }
STDMETHODIMP CProcessMgr::KillProcessAndDescendants() { return E_NOTIMPL; }
