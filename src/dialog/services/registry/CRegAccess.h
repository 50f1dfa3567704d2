#pragma once

#include "dialog/module/StagehandTypes.h"

class CRegAccess : public common::ComObjectRoot,
    public common::TypeLibDispatch<IRegAccess>,
    public common::ProvideClassInfoImpl {
public:
    CRegAccess();
    ~CRegAccess() override;

    COM_INTERFACE_MAP_BEGIN(IRegAccess)
    COM_INTERFACE(IRegAccess)
    COM_INTERFACE2(IDispatch, IRegAccess)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE_MAP_END()

    // IRegAccess
    STDMETHODIMP QueryValue(BSTR valueName, VARIANT *pParams) override;
    STDMETHODIMP OpenKey(INT root, BSTR *subkey, VARIANT_BOOL *opened) override;
    STDMETHODIMP InstallProgramType(BSTR *wszProgramToRun, BSTR *szArg, BSTR *wszType, VARIANT_BOOL bIEAlwaysOpen) override;
    STDMETHODIMP CreateSubKey(BSTR *key, BSTR *name, BSTR *val, ULONG type) override;
    STDMETHODIMP RegMimeType(BSTR *ext, BSTR *mime) override;
    STDMETHODIMP DeleteKey(BSTR *key) override;
    STDMETHODIMP GetSubKey(INT indx, BSTR *val) override;
    STDMETHODIMP QueryDWORDValue(BSTR valueName, ULONG *val) override;
    STDMETHODIMP QuerySZValue(BSTR valueName, BSTR *val) override;
    STDMETHODIMP CreateMLSubKey(BSTR *key, BSTR *name, VARIANT *val, ULONG type) override;
    STDMETHODIMP RegDeleteTree(BSTR *key) override;

private:
    // The key the key-relative methods work under; none until OpenKey succeeds.
    common::UniqueKey key_;
};
