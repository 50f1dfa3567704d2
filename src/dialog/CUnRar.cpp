#include "CUnRar.h"

namespace {
const common::NameEntry kNames[] = {{L"Unpack", 1}, {L"PercentComplete", 2}};
}  // namespace

CUnRar::CUnRar()
    : common::ProvideClassInfo2Impl(__uuidof(CUnRar), DIID__IUnRarEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__IUnRarEvents),
      points_{&propertyNotify_, &events_} {}

CUnRar::~CUnRar() = default;

common::ConnectionPoint* const* CUnRar::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

STDMETHODIMP CUnRar::Unpack(BSTR archive, BSTR destination) { return E_NOTIMPL; }
STDMETHODIMP CUnRar::PercentComplete(INT *percent) { return E_NOTIMPL; }

const common::NameEntry* CUnRar::NameTable(size_t& size) const noexcept {
    size = sizeof kNames / sizeof kNames[0];
    return kNames;
}

STDMETHODIMP CUnRar::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) {
    HRESULT hr = common::CheckInvokeArgs(params, 2, result);
    if (FAILED(hr)) return hr;
    switch (id) {
    case 1: {
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        common::Bstr archive, destination;
        RETURN_IF_FAILED(common::ArgAsBstr(params, 1, archive.put(), 1, argErr));
        RETURN_IF_FAILED(common::ArgAsBstr(params, 0, destination.put(), 0, argErr));
        hr = Unpack(archive.get(), destination.get());
        break;
    }
    case 2: {
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        INT percent = 0;
        hr = PercentComplete(&percent);
        if (SUCCEEDED(hr) && result) {
            V_VT(result) = VT_I4;
            V_I4(result) = percent;
        }
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) common::FillExcepInfo(excep, hr);
    return hr;
}
