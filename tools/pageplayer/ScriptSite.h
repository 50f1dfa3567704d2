#pragma once
// The page script engine's site: hands the engine the page's `window`, reports script
// errors to the event log, tracks when script runs, and serves the engine's requests
// for the host security manager and the browser (other services go to the host's client
// site). The engine hands this service provider to the objects page script creates as
// their site (IObjectWithSite), so they can find the page's browser and its host.
#include <windows.h>
#include <activscp.h>
#include <servprov.h>

#include <memory>

#include "common/ComObject.h"

namespace pageplayer {

class Page;

class ScriptSite : public IActiveScriptSite,
                   public IActiveScriptSiteWindow,
                   public IServiceProvider,
                   public common::ComObjectRoot {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, common::ComPtr<IActiveScriptSite>& out);

    COM_INTERFACE_MAP_BEGIN(IActiveScriptSite)
    COM_INTERFACE(IActiveScriptSite)
    COM_INTERFACE(IActiveScriptSiteWindow)
    COM_INTERFACE(IServiceProvider)
    COM_INTERFACE_MAP_END()

    // IActiveScriptSite
    STDMETHODIMP GetLCID(LCID* lcid) override;
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
    STDMETHODIMP GetDocVersionString(BSTR* version) override;
    STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* excep) override;
    STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override;
    STDMETHODIMP OnLeaveScript() override;
    // IActiveScriptSiteWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** ppv) override;

private:
    // The engine holds the site and the page holds the engine: the site does not keep
    // the page alive.
    std::weak_ptr<Page> page_;
};

}  // namespace pageplayer
