#pragma once
// The main browser's DWebBrowserEvents2 sink (sink 37 of the window): NavigateComplete2
// and DocumentComplete set the navigation flags; every other event is ignored. The
// handlers look at no parameter, so the events of every frame of a page count.
#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "dialog/browser/NavigationFlags.h"

namespace stagehand {

class WbEventSink final : public IDispatch {
public:
    // The window's sink identifier for the browser events.
    static constexpr UINT kSinkId = 37;
    static constexpr DISPID kNavigateComplete2 = 252;
    static constexpr DISPID kDocumentComplete = 259;

    explicit WbEventSink(std::shared_ptr<NavigationFlags> flags) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    ~WbEventSink() = default;

    volatile LONG refs_ = 0;
    std::shared_ptr<NavigationFlags> flags_;
};

}  // namespace stagehand
