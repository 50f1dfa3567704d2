#pragma once
// One question to a vendor's compatibility library, shared by both probes: the library
// is loaded for the call and freed right after it.
#include <windows.h>

#include "common/Handle.h"

namespace probes {

// The reasons word before the library writes to it, and the answer when it is missing.
constexpr DWORD kNoAnswer = 0x8000FFFF;

// Loads `library`, looks up `entryPoint` and lets `ask(entry, &reasons)` call it (entry
// is the raw address; `ask` is not called when it is missing). A non-zero answer from
// the library gives 0, otherwise its reasons word. A library that can't be loaded gives
// kNoAnswer, and the load error itself as the result: a positive code scripts take for
// success, while the answer tells them the library is missing.
template <class Ask>
HRESULT AskVendor(const wchar_t* library, const char* entryPoint, LONG* out, Ask ask) {
    if (!out) return E_POINTER;
    DWORD answer = kNoAnswer;
    common::UniqueModule module(::LoadLibraryW(library));
    if (!module) {
        const DWORD error = ::GetLastError();
        *out = static_cast<LONG>(answer);
        return static_cast<HRESULT>(error ? error : ERROR_MOD_NOT_FOUND);
    }
    FARPROC entry = ::GetProcAddress(module.get(), entryPoint);
    if (entry && ask(entry, &answer)) answer = 0;
    module.reset();
    *out = static_cast<LONG>(answer);
    return S_OK;
}

}  // namespace probes
