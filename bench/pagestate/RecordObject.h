#pragma once
// A script-like object for Process: named properties read through IDispatch, described
// by type information whose variables are the properties, as a script engine's objects
// are.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "common/ComPtr.h"

class RecordObject final : public IDispatch {
public:
    // Type information with one variable per name, of the given types.
    static HRESULT MakeTypeInfo(const std::vector<std::wstring>& names, const std::vector<VARTYPE>& types,
                                ITypeInfo** out);

    // The object with one reference; properties are added in the type information's order.
    static RecordObject* Create(ITypeInfo* info);
    void Add(const wchar_t* name, const VARIANT& value);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    explicit RecordObject(ITypeInfo* info);
    ~RecordObject();

    volatile LONG refs_ = 1;
    common::ComPtr<ITypeInfo> info_;
    std::vector<std::wstring> names_;
    std::vector<VARIANT> values_;
};
