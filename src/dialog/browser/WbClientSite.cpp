#include "dialog/browser/WbClientSite.h"

namespace stagehand {

STDMETHODIMP WbClientSite::SaveObject() { return S_OK; }

STDMETHODIMP WbClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WbClientSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP WbClientSite::ShowObject() { return S_OK; }

STDMETHODIMP WbClientSite::OnShowWindow(BOOL) { return S_OK; }

STDMETHODIMP WbClientSite::RequestNewObjectLayout() { return E_NOTIMPL; }

}  // namespace stagehand
