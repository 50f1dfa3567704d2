#pragma once
// The page's `document`: title, getElementById, location, URL, body, readyState and
// parentWindow for script, and the IHTMLDocument2 a host gets from the browser's
// Document property (Script, title, URL, readyState, parentWindow work; the rest of
// the interface answers E_NOTIMPL).
#include <windows.h>
#include <mshtml.h>

#include <memory>

#include "tools/pageplayer/ScriptObject.h"

namespace pageplayer {

class Page;

class PageDocument : public ScriptObject, public IHTMLDocument2 {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatchEx)
    COM_INTERFACE2(IDispatch, IDispatchEx)
    COM_INTERFACE(IDispatchEx)
    COM_INTERFACE(IHTMLDocument2)
    COM_INTERFACE2(IHTMLDocument, IHTMLDocument2)
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

    // IHTMLDocument
    STDMETHODIMP get_Script(IDispatch **p) override;
    // IHTMLDocument2
    STDMETHODIMP get_all(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_body(IHTMLElement **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_activeElement(IHTMLElement **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_images(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_applets(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_links(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_forms(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_anchors(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_title(BSTR v) override;
    STDMETHODIMP get_title(BSTR *p) override;
    STDMETHODIMP get_scripts(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_designMode(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_designMode(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_selection(IHTMLSelectionObject **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_readyState(BSTR *p) override;
    STDMETHODIMP get_frames(IHTMLFramesCollection2 **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_embeds(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_plugins(IHTMLElementCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_alinkColor(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_alinkColor(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_bgColor(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_bgColor(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_fgColor(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_fgColor(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_linkColor(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_linkColor(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_vlinkColor(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_vlinkColor(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_referrer(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_location(IHTMLLocation **p) override { return E_NOTIMPL; }
    STDMETHODIMP get_lastModified(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_URL(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_URL(BSTR *p) override;
    STDMETHODIMP put_domain(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_domain(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_cookie(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_cookie(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_expando(VARIANT_BOOL v) override { return E_NOTIMPL; }
    STDMETHODIMP get_expando(VARIANT_BOOL *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_charset(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_charset(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_defaultCharset(BSTR v) override { return E_NOTIMPL; }
    STDMETHODIMP get_defaultCharset(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_mimeType(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileSize(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileCreatedDate(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileModifiedDate(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileUpdatedDate(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_security(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_protocol(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP get_nameProp(BSTR *p) override { return E_NOTIMPL; }
    STDMETHODIMP write(SAFEARRAY *psarray) override { return E_NOTIMPL; }
    STDMETHODIMP writeln(SAFEARRAY *psarray) override { return E_NOTIMPL; }
    STDMETHODIMP open(BSTR url, VARIANT name, VARIANT features, VARIANT replace, IDispatch **pomWindowResult) override { return E_NOTIMPL; }
    STDMETHODIMP close() override { return E_NOTIMPL; }
    STDMETHODIMP clear() override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandSupported(BSTR cmdID, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandEnabled(BSTR cmdID, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandState(BSTR cmdID, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandIndeterm(BSTR cmdID, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandText(BSTR cmdID, BSTR *pcmdText) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandValue(BSTR cmdID, VARIANT *pcmdValue) override { return E_NOTIMPL; }
    STDMETHODIMP execCommand(BSTR cmdID, VARIANT_BOOL showUI, VARIANT value, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP execCommandShowHelp(BSTR cmdID, VARIANT_BOOL *pfRet) override { return E_NOTIMPL; }
    STDMETHODIMP createElement(BSTR eTag, IHTMLElement **newElem) override { return E_NOTIMPL; }
    STDMETHODIMP put_onhelp(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onhelp(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onclick(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onclick(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondblclick(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondblclick(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeyup(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeyup(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeydown(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeydown(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeypress(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeypress(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseup(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseup(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousedown(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousedown(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousemove(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousemove(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseout(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseout(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseover(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseover(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onreadystatechange(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onreadystatechange(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onafterupdate(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onafterupdate(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowexit(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowexit(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowenter(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowenter(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondragstart(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondragstart(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onselectstart(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onselectstart(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP elementFromPoint(LONG x, LONG y, IHTMLElement **elementHit) override { return E_NOTIMPL; }
    STDMETHODIMP get_parentWindow(IHTMLWindow2 **p) override;
    STDMETHODIMP get_styleSheets(IHTMLStyleSheetsCollection **p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onbeforeupdate(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onbeforeupdate(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP put_onerrorupdate(VARIANT v) override { return E_NOTIMPL; }
    STDMETHODIMP get_onerrorupdate(VARIANT *p) override { return E_NOTIMPL; }
    STDMETHODIMP toString(BSTR *String) override;
    STDMETHODIMP createStyleSheet(BSTR bstrHref, LONG lIndex, IHTMLStyleSheet **ppnewStyleSheet) override { return E_NOTIMPL; }

protected:
    const ScriptMember* Members(size_t& count) const noexcept override;
    HRESULT InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        IServiceProvider* caller) override;
    HRESULT InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) override;

private:
    std::shared_ptr<Page> page_;
};

}  // namespace pageplayer
