#pragma once
// Reference counting and QueryInterface for COM classes, in the manner of ATL's
// CComObject family. A class derives from ComObjectRoot and its interfaces and
// declares its interfaces with the COM_INTERFACE_MAP macros; the wrappers below
// supply IUnknown:
//   ComObject<T>        a plain object; alive objects hold a module lock;
//   ComCachedObject<T>  a singleton held by its factory: only client references lock;
//   ComAggObject<T>     an object aggregated by an outer object.
#include <windows.h>
#include <unknwn.h>
#include <new>

#include "common/ComModule.h"

namespace common {

// COM objects live on the process heap and are only created with new (std::nothrow):
// a failed allocation is E_OUTOFMEMORY, and no C++ allocator that reports failure by
// exception is needed (the small servers are built without exception support).
struct HeapObject {
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
    }
    static void operator delete(void* p) noexcept {
        if (p) ::HeapFree(::GetProcessHeap(), 0, p);
    }
    // Used only if a constructor throws.
    static void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
};

class ComObjectRoot : public HeapObject {
public:
    virtual ~ComObjectRoot() = default;
    // The interface pointer for riid (not AddRef'ed), or null.
    virtual void* CastTo(REFIID riid) noexcept = 0;
    // The object's identity: the outer object's IUnknown when aggregated.
    virtual IUnknown* ControllingUnknown() noexcept = 0;
    // Second-phase construction; a failure destroys the object.
    HRESULT FinalConstruct() noexcept { return S_OK; }
};

#define COM_INTERFACE_MAP_BEGIN(Primary)                                        \
    void* CastTo(REFIID riid) noexcept override {                               \
        if (riid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<Primary*>(this));
#define COM_INTERFACE(Itf) \
        if (riid == __uuidof(Itf)) return static_cast<Itf*>(this);
#define COM_INTERFACE2(Itf, Via) \
        if (riid == __uuidof(Itf)) return static_cast<Itf*>(static_cast<Via*>(this));
#define COM_INTERFACE_MAP_END() \
        return nullptr;         \
    }

template <class T>
HRESULT QueryFrom(T* self, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = self->CastTo(riid);
    if (!*ppv) return E_NOINTERFACE;
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

template <class T>
class ComObject final : public T {
public:
    template <class... Args>
    explicit ComObject(Args&&... args) : T(static_cast<Args&&>(args)...) { ComModule::Current().Lock(); }
    ~ComObject() override { ComModule::Current().Unlock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return QueryFrom(this, riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    IUnknown* ControllingUnknown() noexcept override { return static_cast<IUnknown*>(this->CastTo(IID_IUnknown)); }

    // Creates an object, runs FinalConstruct and hands out riid.
    static HRESULT Create(REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        auto* obj = new (std::nothrow) ComObject<T>();
        if (!obj) return E_OUTOFMEMORY;
        obj->AddRef();
        HRESULT hr = obj->FinalConstruct();
        if (SUCCEEDED(hr)) hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    }

private:
    volatile LONG refs_ = 0;
};

// A singleton kept by its factory: the factory's own reference does not lock the module,
// every further (client) reference does.
template <class T>
class ComCachedObject final : public T {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return QueryFrom(this, riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override {
        LONG n = ::InterlockedIncrement(&refs_);
        if (n == 2) ComModule::Current().Lock();
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        else if (n == 1)
            ComModule::Current().Unlock();
        return static_cast<ULONG>(n);
    }
    IUnknown* ControllingUnknown() noexcept override { return static_cast<IUnknown*>(this->CastTo(IID_IUnknown)); }

private:
    volatile LONG refs_ = 0;
};

// The inner object of an aggregate: its IUnknown goes to the outer object.
template <class T>
class ComContainedObject final : public T {
public:
    explicit ComContainedObject(IUnknown* outer) noexcept : outer_(outer) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return outer_->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }
    IUnknown* ControllingUnknown() noexcept override { return outer_; }

private:
    IUnknown* outer_;
};

// The non-delegating IUnknown an outer object holds.
template <class T>
class ComAggObject final : public IUnknown, public HeapObject {
public:
    explicit ComAggObject(IUnknown* outer) : contained_(outer) { ComModule::Current().Lock(); }
    virtual ~ComAggObject() { ComModule::Current().Unlock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return QueryFrom(&contained_, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // An aggregated object can only be asked for IUnknown at creation.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        auto* obj = new (std::nothrow) ComAggObject<T>(outer);
        if (!obj) return E_OUTOFMEMORY;
        obj->AddRef();
        HRESULT hr = obj->contained_.FinalConstruct();
        if (SUCCEEDED(hr)) hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    }

private:
    volatile LONG refs_ = 0;
    ComContainedObject<T> contained_;
};

}  // namespace common
