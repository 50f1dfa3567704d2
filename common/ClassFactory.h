#pragma once
// Class factories: one new object per request, or one object per process.
#include <windows.h>
#include <unknwn.h>

#include "common/ComObject.h"
#include "common/CriticalSection.h"

namespace common {

// Shared IClassFactory plumbing. Factories are static objects of the module: a
// reference to one or an explicit LockServer holds the module.
class ClassFactoryBase : public IClassFactory {
public:
    virtual ~ClassFactoryBase() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(ComModule::Current().Lock()); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(ComModule::Current().Unlock()); }
    STDMETHODIMP LockServer(BOOL lock) override;
};

enum class Aggregation { Refused, Allowed };

// A new object per request.
template <class T, Aggregation Agg = Aggregation::Refused>
class ClassFactory final : public ClassFactoryBase {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) {
            if (Agg == Aggregation::Refused) return CLASS_E_NOAGGREGATION;
            return ComAggObject<T>::Create(outer, riid, ppv);
        }
        return ComObject<T>::Create(riid, ppv);
    }
};

// One object per process, created on first request and kept until the module ends.
// A failed first creation is remembered and returned to every later request.
template <class T>
class SingletonClassFactory final : public ClassFactoryBase {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        IUnknown* instance = nullptr;
        {
            ScopedLock guard(lock_);
            if (!instance_ && SUCCEEDED(failure_)) failure_ = CreateFirst();
            if (FAILED(failure_)) return failure_;
            instance = instance_;
            instance->AddRef();
        }
        HRESULT hr = instance->QueryInterface(riid, ppv);
        instance->Release();
        return hr;
    }

private:
    HRESULT CreateFirst() {
        auto* obj = new (std::nothrow) ComCachedObject<T>();
        if (!obj) return E_OUTOFMEMORY;
        obj->AddRef();  // the factory's own reference, not a module lock
        HRESULT hr = obj->FinalConstruct();
        if (FAILED(hr)) {
            obj->Release();
            return hr;
        }
        // The module releases the instance when it is torn down.
        hr = ComModule::Current().AddTermFunc(&SingletonClassFactory::ReleaseInstance, this);
        if (FAILED(hr)) {
            obj->Release();
            return hr;
        }
        instance_ = static_cast<IUnknown*>(obj->CastTo(IID_IUnknown));
        return S_OK;
    }
    static void ReleaseInstance(void* self) {
        auto* f = static_cast<SingletonClassFactory*>(self);
        IUnknown* p = nullptr;
        {
            ScopedLock guard(f->lock_);
            p = f->instance_;
            f->instance_ = nullptr;
        }
        if (p) p->Release();
    }

    CriticalSection lock_;
    IUnknown* instance_ = nullptr;
    HRESULT failure_ = S_OK;
};

// One row of a module's class-object table.
struct ClassObjectEntry {
    const CLSID* clsid;
    IClassFactory* factory;
};

// DllGetClassObject over a table.
HRESULT GetClassObjectFromTable(const ClassObjectEntry* table, size_t count, REFCLSID clsid, REFIID riid,
                                void** ppv) noexcept;

}  // namespace common
