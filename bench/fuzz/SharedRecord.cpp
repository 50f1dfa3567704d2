#include "SharedRecord.h"

namespace fuzz {

const wchar_t* FamilyName(int family) {
    static const wchar_t* const names[kFamilyCount] = {L"S_OK",  L"S_FALSE", L"success", L"DISP_E", L"E_INVALIDARG",
                                                       L"E_POINTER", L"E_NOTIMPL", L"E_FAIL", L"E_OUTOFMEMORY",
                                                       L"win32", L"other"};
    return family >= 0 && family < kFamilyCount ? names[family] : L"?";
}

int FamilyOf(HRESULT hr) {
    if (hr == S_OK) return kOk;
    if (hr == S_FALSE) return kFalse;
    if (SUCCEEDED(hr)) return kOtherSuccess;
    if (HRESULT_FACILITY(hr) == FACILITY_DISPATCH) return kDispatchError;
    switch (hr) {
    case E_INVALIDARG: return kInvalidArg;
    case E_POINTER: return kPointer;
    case E_NOTIMPL: return kNotImpl;
    case E_FAIL: return kFail;
    case E_OUTOFMEMORY: return kOutOfMemory;
    default: break;
    }
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? kWin32 : kOtherError;
}

}  // namespace fuzz
