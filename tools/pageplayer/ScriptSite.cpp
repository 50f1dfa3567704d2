#include "tools/pageplayer/ScriptSite.h"

#include <shlguid.h>
#include <urlmon.h>

#include <new>

#include "common/Bstr.h"
#include "common/HResult.h"
#include "tools/pageplayer/EventLog.h"
#include "tools/pageplayer/HostSecurity.h"
#include "tools/pageplayer/Page.h"

namespace pageplayer {

HRESULT ScriptSite::Create(const std::shared_ptr<Page>& page, common::ComPtr<IActiveScriptSite>& out) {
    auto* obj = new (std::nothrow) common::ComObject<ScriptSite>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    out = static_cast<IActiveScriptSite*>(obj);
    return S_OK;
}

STDMETHODIMP ScriptSite::GetLCID(LCID* lcid) {
    if (lcid) *lcid = 0;
    return E_NOTIMPL;  // the user's default
}

STDMETHODIMP ScriptSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
    if (item) *item = nullptr;
    if (info) *info = nullptr;
    if (!name || wcscmp(name, L"window") != 0) return TYPE_E_ELEMENTNOTFOUND;
    if (mask & SCRIPTINFO_ITYPEINFO) return TYPE_E_ELEMENTNOTFOUND;
    if (!(mask & SCRIPTINFO_IUNKNOWN)) return S_OK;
    if (!item) return E_POINTER;
    auto page = page_.lock();
    if (!page) return E_UNEXPECTED;
    common::ComPtr<IDispatch> window = page->WindowObject();
    if (!window) return E_UNEXPECTED;
    *item = window.Detach();
    return S_OK;
}

STDMETHODIMP ScriptSite::GetDocVersionString(BSTR* version) {
    if (version) *version = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ScriptSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP ScriptSite::OnStateChange(SCRIPTSTATE) { return S_OK; }

STDMETHODIMP ScriptSite::OnScriptError(IActiveScriptError* error) {
    if (!error) return E_POINTER;
    try {
        EXCEPINFO excep = {};
        error->GetExceptionInfo(&excep);
        common::Bstr source = common::Bstr::Attach(excep.bstrSource);
        common::Bstr description = common::Bstr::Attach(excep.bstrDescription);
        common::Bstr help = common::Bstr::Attach(excep.bstrHelpFile);
        if (!excep.scode && excep.pfnDeferredFillIn) {
            excep.pfnDeferredFillIn(&excep);
            source.reset(excep.bstrSource);
            description.reset(excep.bstrDescription);
            help.reset(excep.bstrHelpFile);
        }
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        const bool located = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
        std::wstring where = L"?";
        if (auto page = page_.lock()) where = page->Address().Href();
        std::wstring text = where;
        if (located) text += L" line " + std::to_wstring(line + 1) + L" column " + std::to_wstring(column + 1);
        text += L": " + std::wstring(description.c_str());
        text += L" (" + EventLog::Hex(static_cast<DWORD>(excep.scode ? excep.scode : excep.wCode)) + L")";
        EventLog::Write(L"script-error", text);
    } catch (...) {
        // The report is best effort; the engine goes on either way.
    }
    return S_OK;  // handled: the engine shows nothing itself
}

STDMETHODIMP ScriptSite::OnEnterScript() { return S_OK; }
STDMETHODIMP ScriptSite::OnLeaveScript() { return S_OK; }

STDMETHODIMP ScriptSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = nullptr;
    auto page = page_.lock();
    PageOwner* owner = page ? page->Owner() : nullptr;
    if (!owner) return E_FAIL;
    *window = owner->UiWindow();
    return *window ? S_OK : E_FAIL;
}

STDMETHODIMP ScriptSite::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP ScriptSite::QueryService(REFGUID service, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto page = page_.lock();
    if (!page) return E_NOINTERFACE;
    if (service == SID_SInternetHostSecurityManager) {
        common::ComPtr<IInternetHostSecurityManager> manager;
        RETURN_IF_FAILED(HostSecurity::Create(page, manager));
        return manager->QueryInterface(iid, ppv);
    }
    PageOwner* owner = page->Owner();
    if (!owner) return E_NOINTERFACE;
    // The browser itself, as a browser answers the objects its pages create.
    if (service == SID_SWebBrowserApp) return owner->BrowserObject(iid, ppv);
    return owner->HostService(service, iid, ppv);
}

}  // namespace pageplayer
