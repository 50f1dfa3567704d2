#include "dialog/browser/AxHostSite.h"

namespace stagehand {

STDMETHODIMP AxHostSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    void* found = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        found = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite || riid == IID_IOleInPlaceSiteEx)
        found = static_cast<IOleInPlaceSiteEx*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        found = static_cast<IOleInPlaceFrame*>(this);
    *ppv = found;
    if (!found) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) AxHostSite::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) AxHostSite::Release() {
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

// --- IOleClientSite ---------------------------------------------------------------

STDMETHODIMP AxHostSite::SaveObject() { return S_OK; }

STDMETHODIMP AxHostSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP AxHostSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP AxHostSite::ShowObject() { return S_OK; }

STDMETHODIMP AxHostSite::OnShowWindow(BOOL) { return S_OK; }

STDMETHODIMP AxHostSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// --- IOleWindow -------------------------------------------------------------------

STDMETHODIMP AxHostSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = host_;
    return host_ ? S_OK : E_FAIL;
}

STDMETHODIMP AxHostSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// --- IOleInPlaceSite(Ex) ------------------------------------------------------------

STDMETHODIMP AxHostSite::CanInPlaceActivate() { return host_ ? S_OK : S_FALSE; }

STDMETHODIMP AxHostSite::OnInPlaceActivate() { return S_OK; }

STDMETHODIMP AxHostSite::OnUIActivate() { return S_OK; }

STDMETHODIMP AxHostSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position,
                                          LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
    if (frame) *frame = nullptr;
    if (doc) *doc = nullptr;
    if (!frame || !doc || !position || !clip) return E_POINTER;
    if (!host_) return E_FAIL;
    RECT client{};
    if (!::GetClientRect(host_, &client)) return E_FAIL;
    *position = client;
    *clip = client;
    if (frameInfo) {
        // The size field is the caller's; everything else describes a frame without menus
        // or accelerators.
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = ::GetAncestor(host_, GA_ROOT);
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP AxHostSite::Scroll(SIZE) { return E_NOTIMPL; }

STDMETHODIMP AxHostSite::OnUIDeactivate(BOOL) { return S_OK; }

STDMETHODIMP AxHostSite::OnInPlaceDeactivate() { return S_OK; }

STDMETHODIMP AxHostSite::DiscardUndoState() { return E_NOTIMPL; }

STDMETHODIMP AxHostSite::DeactivateAndUndo() { return E_NOTIMPL; }

// The host keeps the control at the size of its window; a control's own wish is not
// followed.
STDMETHODIMP AxHostSite::OnPosRectChange(LPCRECT) { return S_OK; }

STDMETHODIMP AxHostSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
    if (noRedraw) *noRedraw = FALSE;
    return S_OK;
}

STDMETHODIMP AxHostSite::OnInPlaceDeactivateEx(BOOL) { return S_OK; }

STDMETHODIMP AxHostSite::RequestUIActivate() { return S_OK; }

// --- IOleInPlaceUIWindow / IOleInPlaceFrame ---------------------------------------

STDMETHODIMP AxHostSite::GetBorder(LPRECT border) {
    if (border) ::SetRectEmpty(border);
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP AxHostSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }

STDMETHODIMP AxHostSite::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

STDMETHODIMP AxHostSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }

STDMETHODIMP AxHostSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }

STDMETHODIMP AxHostSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

STDMETHODIMP AxHostSite::RemoveMenus(HMENU) { return E_NOTIMPL; }

STDMETHODIMP AxHostSite::SetStatusText(LPCOLESTR) { return S_OK; }

STDMETHODIMP AxHostSite::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP AxHostSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

}  // namespace stagehand
