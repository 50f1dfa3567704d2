#pragma once
// Connection points: any number of sinks per point, firing to every sink; a sink
// that fails does not stop the others.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <vector>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"

namespace common {

class ConnectionPoint final : public IConnectionPoint {
public:
    // container: the owning object's container interface; its identity carries our references.
    ConnectionPoint(IConnectionPointContainer* container, const IID& iid) noexcept : container_(container), iid_(iid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& Iid() const noexcept { return iid_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // The connected sinks at this moment (each AddRef'ed by the ComPtr).
    std::vector<ComPtr<IUnknown>> Sinks() const;
    // Invokes a method of a dispinterface on every sink; returns how many failed.
    int FireDispatch(DISPID id, DISPPARAMS* params) const;
    // IPropertyNotifySink::OnChanged on every sink.
    int FireOnChanged(DISPID id) const;

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IUnknown> sink;
    };
    IConnectionPointContainer* container_;
    IID iid_;
    mutable CriticalSection lock_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

// IConnectionPointContainer over a fixed set of connection points owned by the class.
class ConnectionPointContainerImpl : public IConnectionPointContainer {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

protected:
    // The class's points, in a fixed order.
    virtual ConnectionPoint* const* Points(size_t& count) noexcept = 0;
};

}  // namespace common
