#pragma once
// Text taken through the thread's ANSI code page and back: what the code page can
// hold comes back unchanged, everything else as the code page's replacement or
// best-fit character (the form the engine's 8-bit strings can carry).
#include <windows.h>
#include <oleauto.h>

namespace stagehand {

class AnsiRoundTrip {
public:
    // A new BSTR with the converted text (embedded nulls kept); null for a null
    // input. The Win32 error as an HRESULT when a conversion fails, E_OUTOFMEMORY
    // when memory runs out.
    static HRESULT Convert(BSTR text, BSTR* out) noexcept;
};

}  // namespace stagehand
