#pragma once
// The page's `window`: the script engine's named item whose members are globals
// (external, setTimeout, alert, location, document, ...), and the IHTMLWindow2 a host
// reaches through the document's Script property, whose execScript runs code in the
// page. Names the page's own script defines are reachable as window.<name> too.
#include <windows.h>
#include <mshtml.h>

#include <memory>
#include <string>

#include "tools/pageplayer/ScriptObject.h"

namespace pageplayer {

class Page;

class PageWindow : public ScriptObject, public IHTMLWindow2 {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatchEx)
    COM_INTERFACE2(IDispatch, IDispatchEx)
    COM_INTERFACE(IDispatchEx)
    COM_INTERFACE(IHTMLWindow2)
    COM_INTERFACE2(IHTMLFramesCollection2, IHTMLWindow2)
    COM_INTERFACE_MAP_END()

    // IDispatch, for both interfaces
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return ScriptObject::GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return ScriptObject::GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return ScriptObject::GetIDsOfNames(riid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        return ScriptObject::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    }

    // IHTMLFramesCollection2
    STDMETHODIMP item(VARIANT *pvarIndex, VARIANT *pvarResult) override { return E_NOTIMPL; }
    STDMETHODIMP get_length(LONG *p) override;
    // IHTMLWindow2
    STDMETHODIMP get_frames(IHTMLFramesCollection2 **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_defaultStatus(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_defaultStatus(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_status(BSTR v) override;
    STDMETHODIMP get_status(BSTR *p) override;
    STDMETHODIMP setTimeout(BSTR expression, LONG msec, VARIANT *language, LONG *timerID) override;
    STDMETHODIMP clearTimeout(LONG timerID) override;
    STDMETHODIMP alert(BSTR message) override;
    STDMETHODIMP confirm(BSTR message, VARIANT_BOOL *confirmed) override;
    STDMETHODIMP prompt(BSTR message, BSTR defstr, VARIANT *textdata) override { return E_NOTIMPL; }
    STDMETHODIMP get_Image(IHTMLImageElementFactory **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_location(IHTMLLocation **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_history(IOmHistory **p) override { return E_NOTIMPL; }
    STDMETHODIMP close() override { return E_NOTIMPL; }
    STDMETHODIMP put_opener(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_opener(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_navigator(IOmNavigator **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_name(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_name(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_parent(IHTMLWindow2 **p) override;
    STDMETHODIMP open(BSTR url, BSTR name, BSTR features, VARIANT_BOOL replace, IHTMLWindow2 **pomWindowResult) override { return E_NOTIMPL; }
    STDMETHODIMP get_self(IHTMLWindow2 **p) override;
    STDMETHODIMP get_top(IHTMLWindow2 **p) override;
    STDMETHODIMP get_window(IHTMLWindow2 **p) override;
    STDMETHODIMP navigate(BSTR url) override;
    STDMETHODIMP put_onfocus(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onfocus(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onblur(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onblur(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onload(VARIANT v) override;
    STDMETHODIMP get_onload(VARIANT *p) override;
    STDMETHODIMP put_onbeforeunload(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onbeforeunload(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onunload(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onunload(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onhelp(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onhelp(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onerror(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onerror(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onresize(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onresize(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onscroll(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onscroll(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_document(IHTMLDocument2 **p) override;
    STDMETHODIMP get_event(IHTMLEventObj **p) override { return E_NOTIMPL; }
    STDMETHODIMP get__newEnum(IUnknown **p) override { return E_NOTIMPL; }
    STDMETHODIMP showModalDialog(BSTR dialog, VARIANT *varArgIn, VARIANT *varOptions, VARIANT *varArgOut) override { return E_NOTIMPL; }
    STDMETHODIMP showHelp(BSTR helpURL, VARIANT helpArg, BSTR features) override { return E_NOTIMPL; }
    STDMETHODIMP get_screen(IHTMLScreen **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_Option(IHTMLOptionElementFactory **p) override { return E_NOTIMPL; }
    STDMETHODIMP focus() override;
    STDMETHODIMP get_closed(VARIANT_BOOL *p) override;
    STDMETHODIMP blur() override;
    STDMETHODIMP scroll(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP get_clientInformation(IOmNavigator **p) override { return E_NOTIMPL; }
    STDMETHODIMP setInterval(BSTR expression, LONG msec, VARIANT *language, LONG *timerID) override;
    STDMETHODIMP clearInterval(LONG timerID) override;
    STDMETHODIMP put_offscreenBuffering(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_offscreenBuffering(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP execScript(BSTR code, BSTR language, VARIANT *pvarRet) override;
    STDMETHODIMP toString(BSTR *String) override;
    STDMETHODIMP scrollBy(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP scrollTo(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP moveTo(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP moveBy(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP resizeTo(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP resizeBy(LONG x, LONG y) override { return E_NOTIMPL; }
    STDMETHODIMP get_external(IDispatch **p) override;

protected:
    const ScriptMember* Members(size_t& count) const noexcept override;
    HRESULT OtherDispId(BSTR name, DWORD grfdex, DISPID* id) override;
    HRESULT OtherName(DISPID id, BSTR* name) override;
    HRESULT InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        IServiceProvider* caller) override;
    HRESULT InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) override;

private:
    // Runs code in the page on the page's thread (execScript may come from another).
    HRESULT ExecuteOnPageThread(const std::wstring& code);
    HRESULT Timer(const VARIANT* handler, LONG ms, bool repeat, LONG* id);
    HRESULT Self(IHTMLWindow2** out);

    std::shared_ptr<Page> page_;
    DWORD thread_ = 0;
    std::wstring status_;
};

}  // namespace pageplayer
