#include "dialog/browser/WbDocHostUIHandler.h"

namespace stagehand {

STDMETHODIMP WbDocHostUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }

STDMETHODIMP WbDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
    return S_OK;
}

STDMETHODIMP WbDocHostUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                        IOleInPlaceUIWindow*) {
    return S_OK;
}

STDMETHODIMP WbDocHostUIHandler::HideUI() { return S_OK; }

STDMETHODIMP WbDocHostUIHandler::UpdateUI() { return S_OK; }

STDMETHODIMP WbDocHostUIHandler::EnableModeless(BOOL) { return E_NOTIMPL; }

STDMETHODIMP WbDocHostUIHandler::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }

STDMETHODIMP WbDocHostUIHandler::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }

STDMETHODIMP WbDocHostUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP WbDocHostUIHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }

STDMETHODIMP WbDocHostUIHandler::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key) *key = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WbDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement) *replacement = nullptr;
    return S_FALSE;
}

STDMETHODIMP WbDocHostUIHandler::GetExternal(IDispatch** external) {
    if (!external) return E_POINTER;
    // The pages call what they get as an IDispatch directly, so the bridge itself goes
    // out, not this handler (whose table of methods is not IDispatch's).
    return Identity().QueryInterface(IID_IDispatch, reinterpret_cast<void**>(external));
}

STDMETHODIMP WbDocHostUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* urlOut) {
    if (urlOut) *urlOut = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WbDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject** replacement) {
    if (replacement) *replacement = nullptr;
    return S_FALSE;
}

}  // namespace stagehand
