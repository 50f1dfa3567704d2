#include "CCookieCtl.h"

namespace {
const common::NameEntry kNames[] = {{L"getCookie", 1}, {L"getCookieItem", 2}};
}  // namespace

CCookieCtl::CCookieCtl() : common::ProvideClassInfoImpl(__uuidof(CCookieCtl)) {}

CCookieCtl::~CCookieCtl() = default;

STDMETHODIMP CCookieCtl::getCookie(BSTR bstrURL, BSTR *bstrValue) { return E_NOTIMPL; }
STDMETHODIMP CCookieCtl::getCookieItem(BSTR bstrURL, BSTR bstrItem, BSTR *bstrValue) { return E_NOTIMPL; }

const common::NameEntry* CCookieCtl::NameTable(size_t& size) const noexcept {
    size = sizeof kNames / sizeof kNames[0];
    return kNames;
}

STDMETHODIMP CCookieCtl::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) {
    HRESULT hr = common::CheckInvokeArgs(params, 3, result);
    if (FAILED(hr)) return hr;
    common::Bstr value;
    switch (id) {
    case 1: {
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        common::Bstr url;
        RETURN_IF_FAILED(common::ArgAsBstr(params, 0, url.put(), 0, argErr));
        hr = getCookie(url.get(), value.put());
        break;
    }
    case 2: {
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        common::Bstr url, item;
        RETURN_IF_FAILED(common::ArgAsBstr(params, 1, url.put(), 1, argErr));
        RETURN_IF_FAILED(common::ArgAsBstr(params, 0, item.put(), 0, argErr));
        hr = getCookieItem(url.get(), item.get(), value.put());
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) {
        common::FillExcepInfo(excep, hr);
        return hr;
    }
    if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = value.release();
    }
    return hr;
}
