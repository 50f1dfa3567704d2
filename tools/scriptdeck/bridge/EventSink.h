#pragma once
// The dispatch object the bridge connects to an object's event source: each event it
// receives runs the function of the same name in the script's sink table. Events from
// the engine thread run at once; events from other threads wait in the event queue
// until the engine thread runs its message loop.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "common/Variant.h"

namespace scriptdeck {

class ComBridge;

class EventSink final : public IDispatch {
public:
    // tableRef: the sink table's reference in the Lua registry, owned from now on.
    EventSink(ComBridge& bridge, const IID& iid, common::ComPtr<ITypeInfo> events, int tableRef);

    // Engine thread: stops delivering and frees the table reference (the source may
    // keep the object a while longer).
    void Detach();
    // Engine thread: runs the handler for event `id`.
    void Deliver(DISPID id, std::vector<common::Variant>& args);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    ~EventSink() = default;
    HRESULT InvokeNow(DISPID id, DISPPARAMS* params);

    volatile LONG refs_ = 1;
    const IID iid_;
    const common::ComPtr<ITypeInfo> events_;
    common::CriticalSection lock_;
    ComBridge* bridge_;  // guarded by lock_; null once detached
    int tableRef_;       // engine thread only
};

}  // namespace scriptdeck
