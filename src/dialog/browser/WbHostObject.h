#pragma once
// Base of the browser host objects: each implements one interface and keeps no count of
// its own; QueryInterface, AddRef and Release are those of the host identity they share.
#include <windows.h>
#include <unknwn.h>

namespace stagehand {

template <class Itf>
class WbHostObject : public Itf {
public:
    explicit WbHostObject(IUnknown& identity) noexcept : identity_(identity) {}
    WbHostObject(const WbHostObject&) = delete;
    WbHostObject& operator=(const WbHostObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return identity_.QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return identity_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return identity_.Release(); }

protected:
    ~WbHostObject() = default;
    IUnknown& Identity() const noexcept { return identity_; }

private:
    IUnknown& identity_;
};

}  // namespace stagehand
