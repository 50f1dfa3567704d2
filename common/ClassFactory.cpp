#include "common/ClassFactory.h"

namespace common {

STDMETHODIMP ClassFactoryBase::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ClassFactoryBase::LockServer(BOOL lock) {
    if (lock)
        ComModule::Current().Lock();
    else
        ComModule::Current().Unlock();
    return S_OK;
}

HRESULT GetClassObjectFromTable(const ClassObjectEntry* table, size_t count, REFCLSID clsid, REFIID riid,
                                void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (*table[i].clsid == clsid) return table[i].factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace common
