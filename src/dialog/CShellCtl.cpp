#include "CShellCtl.h"

CShellCtl::CShellCtl() : common::ProvideClassInfoImpl(__uuidof(CShellCtl)) {}

CShellCtl::~CShellCtl() = default;

STDMETHODIMP CShellCtl::CreateShortcut(BSTR *name, BSTR *target, BSTR *icon, BSTR *workingDir, BSTR *args) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::DeleteShortcut(BSTR *name) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::ModuleFileName(BSTR *name) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetSpecialFolder(ULONG csidl, BSTR *dir) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::CheckWnd(BSTR *windowTitle, VARIANT_BOOL *windowFound) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::ExistingTPS(BSTR *iniFile, BSTR *tpsValue) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::SetWorkingDir(BSTR *path) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetWorkingDir(BSTR *path) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::OSVersion(DOUBLE *version) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetSystemID(BSTR *pID) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::InstallFromCD(BSTR GameID, BSTR GameName, BSTR Tps, BSTR GameLang, BSTR CDPath, BSTR StoreFront) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::KillProcess(BSTR imageName, ULONG *killResult) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::RefreshAddRemovePrograms() { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::ShellExec(BSTR FilePath, BSTR Params) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::ShellExecRunAs(BSTR FilePath, BSTR Params) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::PlatformInfo(BSTR *info) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetAvailableDrive(INT reqSpace, BSTR *drive) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::CopyDocument(BSTR src, BSTR dest, VARIANT_BOOL *canCopy) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::InstallerToForeground() { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetFolderPath(ULONG csidl, BSTR *dir) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::GetPid(INT *pPid) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::LogMessage(BSTR *message) { return E_NOTIMPL; }
STDMETHODIMP CShellCtl::DeleteOnReboot(BSTR filename) { return E_NOTIMPL; }
