#pragma once

#include "dialog/module/StagehandTypes.h"
#include "dialog/sitelock/SiteLock.h"

class CShellCtl : public common::ComObjectRoot,
    public common::TypeLibDispatch<IShellCtl>,
    public stagehand::SiteLock,
    public common::ProvideClassInfoImpl {
public:
    CShellCtl();
    ~CShellCtl() override;

    COM_INTERFACE_MAP_BEGIN(IShellCtl)
    COM_INTERFACE(IShellCtl)
    COM_INTERFACE2(IDispatch, IShellCtl)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE(IObjectWithSite)
    COM_INTERFACE_MAP_END()

    // IDispatch: every call is refused while a site has locked the object (SiteLock);
    // name lookups and type information stay answered.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IShellCtl
    STDMETHODIMP CreateShortcut(BSTR *name, BSTR *target, BSTR *icon, BSTR *workingDir, BSTR *args) override;
    STDMETHODIMP DeleteShortcut(BSTR *name) override;
    STDMETHODIMP ModuleFileName(BSTR *name) override;
    STDMETHODIMP GetSpecialFolder(ULONG csidl, BSTR *dir) override;
    STDMETHODIMP CheckWnd(BSTR *windowTitle, VARIANT_BOOL *windowFound) override;
    STDMETHODIMP ExistingTPS(BSTR *iniFile, BSTR *tpsValue) override;
    STDMETHODIMP SetWorkingDir(BSTR *path) override;
    STDMETHODIMP GetWorkingDir(BSTR *path) override;
    STDMETHODIMP OSVersion(DOUBLE *version) override;
    STDMETHODIMP GetSystemID(BSTR *pID) override;
    STDMETHODIMP InstallFromCD(BSTR GameID, BSTR GameName, BSTR Tps, BSTR GameLang, BSTR CDPath, BSTR StoreFront) override;
    STDMETHODIMP KillProcess(BSTR imageName, ULONG *killResult) override;
    STDMETHODIMP RefreshAddRemovePrograms() override;
    STDMETHODIMP ShellExec(BSTR FilePath, BSTR Params) override;
    STDMETHODIMP ShellExecRunAs(BSTR FilePath, BSTR Params) override;
    STDMETHODIMP PlatformInfo(BSTR *info) override;
    STDMETHODIMP GetAvailableDrive(INT reqSpace, BSTR *drive) override;
    STDMETHODIMP CopyDocument(BSTR src, BSTR dest, VARIANT_BOOL *canCopy) override;
    STDMETHODIMP InstallerToForeground() override;
    STDMETHODIMP GetFolderPath(ULONG csidl, BSTR *dir) override;
    STDMETHODIMP GetPid(INT *pPid) override;
    STDMETHODIMP LogMessage(BSTR *message) override;
    STDMETHODIMP DeleteOnReboot(BSTR filename) override;

protected:

private:
};
