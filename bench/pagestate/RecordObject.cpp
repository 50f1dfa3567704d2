#include "RecordObject.h"

HRESULT RecordObject::MakeTypeInfo(const std::vector<std::wstring>& names, const std::vector<VARTYPE>& types,
                                   ITypeInfo** out) {
    *out = nullptr;
    common::ComPtr<ICreateTypeLib2> lib;
    HRESULT hr = ::CreateTypeLib2(SYS_WIN32, L"bench_record.tlb", lib.put());
    if (FAILED(hr)) return hr;
    common::ComPtr<ICreateTypeInfo> create;
    hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Record"), TKIND_DISPATCH, create.put());
    if (FAILED(hr)) return hr;
    for (UINT i = 0; i < names.size(); ++i) {
        VARDESC var = {};
        var.memid = static_cast<MEMBERID>(i + 1);
        var.varkind = VAR_DISPATCH;
        var.elemdescVar.tdesc.vt = types[i];
        hr = create->AddVarDesc(i, &var);
        if (SUCCEEDED(hr)) hr = create->SetVarName(i, const_cast<LPOLESTR>(names[i].c_str()));
        if (FAILED(hr)) return hr;
    }
    hr = create->LayOut();
    if (FAILED(hr)) return hr;
    return create->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(out));
}

RecordObject* RecordObject::Create(ITypeInfo* info) { return new RecordObject(info); }

RecordObject::RecordObject(ITypeInfo* info) {
    info->AddRef();
    info_ = common::ComPtr<ITypeInfo>::Attach(info);
}

RecordObject::~RecordObject() {
    for (VARIANT& v : values_) ::VariantClear(&v);
}

void RecordObject::Add(const wchar_t* name, const VARIANT& value) {
    names_.push_back(name);
    VARIANT copy;
    ::VariantInit(&copy);
    ::VariantCopy(&copy, const_cast<VARIANT*>(&value));
    values_.push_back(copy);
}

STDMETHODIMP RecordObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) RecordObject::Release() {
    LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP RecordObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP RecordObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    if (index != 0) return DISP_E_BADINDEX;
    *info = info_.get();
    (*info)->AddRef();
    return S_OK;
}

STDMETHODIMP RecordObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (size_t k = 0; k < names_.size(); ++k)
            if (::lstrcmpiW(names[i], names_[k].c_str()) == 0) ids[i] = static_cast<DISPID>(k + 1);
        if (ids[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
}

STDMETHODIMP RecordObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                  UINT*) {
    if (id < 1 || static_cast<size_t>(id) > values_.size()) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return S_OK;
    ::VariantInit(result);
    return ::VariantCopy(result, &values_[id - 1]);
}
