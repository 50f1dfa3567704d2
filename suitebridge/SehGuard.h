#pragma once
// Calls into an outside library so that a structured exception it raises (an access
// violation, RaiseException, a C++ throw of another compiler) ends the call instead of
// the process. GCC for 32-bit Windows has no __try/__except, so the guard installs its
// own frame on the thread's exception-handler chain.
#include <windows.h>

namespace suitebridge {

// What a call that ended in an exception reports (E_UNEXPECTED).
constexpr HRESULT kExceptionResult = static_cast<HRESULT>(0x8000FFFFL);

// Runs call(context) and returns its result, or kExceptionResult when an exception
// escaped from it. The frames of the failed call are unwound (their own handlers run)
// before the guard returns.
// `raised`, when given, tells whether the call ended in an exception.
HRESULT CallGuarded(HRESULT (*call)(void* context), void* context, bool* raised = nullptr);

}  // namespace suitebridge
