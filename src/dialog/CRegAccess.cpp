#include "CRegAccess.h"

CRegAccess::CRegAccess() : common::ProvideClassInfoImpl(__uuidof(CRegAccess)) {}

CRegAccess::~CRegAccess() = default;

STDMETHODIMP CRegAccess::QueryValue(BSTR valueName, VARIANT *pParams) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::OpenKey(INT root, BSTR *subkey, VARIANT_BOOL *opened) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::InstallProgramType(BSTR *wszProgramToRun, BSTR *szArg, BSTR *wszType, VARIANT_BOOL bIEAlwaysOpen) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::CreateSubKey(BSTR *key, BSTR *name, BSTR *val, ULONG type) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::RegMimeType(BSTR *ext, BSTR *mime) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::DeleteKey(BSTR *key) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::GetSubKey(INT indx, BSTR *val) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::QueryDWORDValue(BSTR valueName, ULONG *val) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::QuerySZValue(BSTR valueName, BSTR *val) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::CreateMLSubKey(BSTR *key, BSTR *name, VARIANT *val, ULONG type) { return E_NOTIMPL; }
STDMETHODIMP CRegAccess::RegDeleteTree(BSTR *key) { return E_NOTIMPL; }
