#include "scriptdeck/bridge/EventSink.h"

#include "common/HResult.h"
#include "scriptdeck/bridge/ComBridge.h"
#include "scriptdeck/bridge/Lua50.h"
#include "scriptdeck/bridge/MemberLookup.h"

namespace scriptdeck {

EventSink::EventSink(ComBridge& bridge, const IID& iid, common::ComPtr<ITypeInfo> events, int tableRef)
    : iid_(iid), events_(std::move(events)), bridge_(&bridge), tableRef_(tableRef) {}

void EventSink::Detach() {
    ComBridge* bridge = nullptr;
    {
        common::ScopedLock hold(lock_);
        bridge = bridge_;
        bridge_ = nullptr;
    }
    if (bridge) bridge->FreeRef(tableRef_);
    tableRef_ = LUA_NOREF;
}

void EventSink::Deliver(DISPID id, std::vector<common::Variant>& args) {
    ComBridge* bridge = nullptr;
    {
        common::ScopedLock hold(lock_);
        bridge = bridge_;
    }
    if (!bridge) return;
    const std::wstring name = MemberLookup::MemberName(events_.get(), id);
    if (name.empty()) return;  // not an event of the interface: nothing to run
    bridge->RunHandler(tableRef_, name, args);
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) EventSink::Release() {
    const LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
    RETURN_IF_NULL(count);
    *count = events_ ? 1 : 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    RETURN_IF_NULL(info);
    *info = nullptr;
    if (index != 0 || !events_) return DISP_E_BADINDEX;
    return events_.CopyTo(info);
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!events_) return E_NOTIMPL;
    return events_->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*) {
    if (result) ::VariantInit(result);
    try {
        return InvokeNow(id, params);
    } catch (...) {
        // Out of memory copying the arguments or running the handler: the source goes on.
        return E_OUTOFMEMORY;
    }
}

HRESULT EventSink::InvokeNow(DISPID id, DISPPARAMS* params) {
    // The arguments in the order the event declares them (they arrive last first),
    // copied so they outlive the call when the event has to wait for the engine thread.
    std::vector<common::Variant> args;
    const UINT count = params ? params->cArgs : 0;
    args.resize(count);
    for (UINT i = 0; i < count; ++i) {
        HRESULT hr = ::VariantCopyInd(args[i].get(), &params->rgvarg[count - 1 - i]);
        if (FAILED(hr)) return hr;
    }
    {
        // Another thread's event waits for the engine thread; the lock keeps the bridge
        // from going away while it is queued.
        common::ScopedLock hold(lock_);
        if (!bridge_) return S_OK;
        if (::GetCurrentThreadId() != bridge_->Events().OwnerThread()) {
            bridge_->Events().Post(this, id, std::move(args));
            return S_OK;
        }
    }
    // The engine thread runs the handler now, without the lock: the handler may call
    // objects whose other threads fire events meanwhile.
    Deliver(id, args);
    return S_OK;
}

}  // namespace scriptdeck
