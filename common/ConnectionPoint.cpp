#include "common/ConnectionPoint.h"

#include <new>

namespace common {

namespace {

// A snapshot enumerator (IEnumConnections / IEnumConnectionPoints).
template <class Enum, class Item, const IID* EnumIid>
class SnapshotEnum final : public Enum {
public:
    SnapshotEnum(std::vector<Item> items, size_t pos = 0) : items_(std::move(items)), pos_(pos) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == *EnumIid) {
            *ppv = static_cast<Enum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            out[n] = items_[pos_];
            AddRefItem(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = items_.size() - pos_;
        if (count > left) {
            pos_ = items_.size();
            return S_FALSE;
        }
        pos_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override {
        if (!out) return E_POINTER;
        for (auto& item : items_) AddRefItem(item);
        auto* e = new (std::nothrow) SnapshotEnum(items_, pos_);
        if (!e) {
            for (auto& item : items_) ReleaseItem(item);
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
        e->owned_ = true;
        e->AddRef();
        *out = e;
        return S_OK;
    }
    ~SnapshotEnum() {
        if (owned_)
            for (auto& item : items_) ReleaseItem(item);
    }
    bool owned_ = false;

private:
    static void AddRefItem(CONNECTDATA& c) { c.pUnk->AddRef(); }
    static void AddRefItem(IConnectionPoint*& p) { p->AddRef(); }
    static void ReleaseItem(CONNECTDATA& c) { c.pUnk->Release(); }
    static void ReleaseItem(IConnectionPoint*& p) { p->Release(); }

    volatile LONG refs_ = 0;
    std::vector<Item> items_;
    size_t pos_;
};

using EnumConnectionsImpl = SnapshotEnum<IEnumConnections, CONNECTDATA, &IID_IEnumConnections>;
using EnumConnectionPointsImpl = SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, &IID_IEnumConnectionPoints>;

}  // namespace

ConnectionPoint::~ConnectionPoint() = default;

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = container_;
    container_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IUnknown> itf;
    if (FAILED(sink->QueryInterface(iid_, itf.put_void()))) return CONNECT_E_CANNOTCONNECT;
    ScopedLock guard(lock_);
    try {
        connections_.push_back({nextCookie_, itf});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    ComPtr<IUnknown> released;  // released outside the lock
    ScopedLock guard(lock_);
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->cookie == cookie) {
            released = it->sink;
            connections_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<CONNECTDATA> items;
        {
            ScopedLock guard(lock_);
            for (auto& c : connections_) {
                c.sink->AddRef();
                items.push_back({c.sink.get(), c.cookie});
            }
        }
        auto* e = new EnumConnectionsImpl(std::move(items));
        e->owned_ = true;
        e->AddRef();
        *out = e;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
    std::vector<ComPtr<IUnknown>> out;
    ScopedLock guard(lock_);
    out.reserve(connections_.size());
    for (auto& c : connections_) out.push_back(c.sink);
    return out;
}

int ConnectionPoint::FireDispatch(DISPID id, DISPPARAMS* params) const {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    int failed = 0;
    for (auto& sink : Sinks()) {
        // Events have no result: the sink gets no result variant to fill.
        auto* disp = static_cast<IDispatch*>(sink.get());
        HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params ? params : &none, nullptr,
                                  nullptr, nullptr);
        if (FAILED(hr)) ++failed;
    }
    return failed;
}

int ConnectionPoint::FireOnChanged(DISPID id) const {
    int failed = 0;
    for (auto& sink : Sinks()) {
        if (FAILED(static_cast<IPropertyNotifySink*>(sink.get())->OnChanged(id))) ++failed;
    }
    return failed;
}

STDMETHODIMP ConnectionPointContainerImpl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    size_t count = 0;
    ConnectionPoint* const* points = Points(count);
    try {
        std::vector<IConnectionPoint*> items;
        for (size_t i = 0; i < count; ++i) {
            points[i]->AddRef();
            items.push_back(points[i]);
        }
        auto* e = new EnumConnectionPointsImpl(std::move(items));
        e->owned_ = true;
        e->AddRef();
        *out = e;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP ConnectionPointContainerImpl::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    size_t count = 0;
    ConnectionPoint* const* points = Points(count);
    for (size_t i = 0; i < count; ++i) {
        if (points[i]->Iid() == riid) {
            *out = points[i];
            points[i]->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace common

