#pragma once
// The player's DWebBrowserEvents2 connection point. As the platform's browser does, it
// takes any sink that answers the event interface or plain IDispatch, and fires events
// through IDispatch::Invoke to every sink connected when the event starts.
#include <windows.h>
#include <ocidl.h>

#include <utility>
#include <vector>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"

namespace pageplayer {

class BrowserEventsPoint final : public IConnectionPoint {
public:
    explicit BrowserEventsPoint(IConnectionPointContainer* container) noexcept : container_(container) {}
    BrowserEventsPoint(const BrowserEventsPoint&) = delete;
    BrowserEventsPoint& operator=(const BrowserEventsPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // Invokes the event on every sink (a sink that fails does not stop the others).
    void Fire(DISPID id, DISPPARAMS* params);
    // Drops every sink (the player is going away).
    void Clear();

private:
    IConnectionPointContainer* container_;
    common::CriticalSection lock_;
    std::vector<std::pair<DWORD, common::ComPtr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
};

}  // namespace pageplayer
