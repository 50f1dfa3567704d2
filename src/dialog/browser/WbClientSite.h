#pragma once
// The client site the host gives the main browser in place of the host window's own.
#include <windows.h>
#include <ole2.h>

#include "dialog/browser/WbHostObject.h"

namespace stagehand {

class WbClientSite final : public WbHostObject<IOleClientSite> {
public:
    using WbHostObject::WbHostObject;

    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;
};

}  // namespace stagehand
