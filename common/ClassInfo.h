#pragma once
// IProvideClassInfo / IProvideClassInfo2 from the module's type library.
#include <windows.h>
#include <ocidl.h>

namespace common {

// Answers the coclass type information of clsid and, for IProvideClassInfo2, the
// default outgoing (event) interface.
class ProvideClassInfo2Impl : public IProvideClassInfo2 {
public:
    ProvideClassInfo2Impl(const CLSID& clsid, const IID& events) noexcept : clsid_(clsid), events_(events) {}
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

private:
    const CLSID& clsid_;
    const IID& events_;
};

class ProvideClassInfoImpl : public IProvideClassInfo {
public:
    explicit ProvideClassInfoImpl(const CLSID& clsid) noexcept : clsid_(clsid) {}
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

private:
    const CLSID& clsid_;
};

}  // namespace common
