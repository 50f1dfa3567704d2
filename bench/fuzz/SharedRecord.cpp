#include "SharedRecord.h"

#include <psapi.h>

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

void SampleProcess(SharedRecord* record, int slot) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory))
        record->privateBytes[slot] = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles)) record->handles[slot] = LONG(handles);
    record->gdiObjects[slot] = LONG(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    record->userObjects[slot] = LONG(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
}

}  // namespace fuzz
