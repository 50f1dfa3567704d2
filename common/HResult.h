#pragma once
// HRESULT checks in the style of WIL: every failure either returns or is logged,
// never dropped silently.
#include <windows.h>

#include <new>

namespace common {
// Writes "<file>(<line>): HRESULT 0x........" to the debug-output channel.
void LogFailure(const char* file, int line, HRESULT hr) noexcept;
inline HRESULT HResultFromLastError() noexcept {
    DWORD e = ::GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

// Runs f (returning an HRESULT) and turns an allocation failure inside it into
// E_OUTOFMEMORY, so no exception leaves a COM method or an exported function.
template <class F>
HRESULT NoThrow(F&& f) noexcept {
#if defined(__cpp_exceptions)
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
#else
    return f();  // code built without exceptions allocates nothing that could throw
#endif
}

}  // namespace common

// Returns the HRESULT of the expression when it failed.
#define RETURN_IF_FAILED(expr)                       \
    do {                                             \
        HRESULT hr_ = (expr);                        \
        if (FAILED(hr_)) return hr_;                 \
    } while (0)

// Returns the given HRESULT when the condition holds.
#define RETURN_HR_IF(hr, cond)                       \
    do {                                             \
        if (cond) return (hr);                       \
    } while (0)

// Returns E_POINTER for a null out-pointer.
#define RETURN_IF_NULL(ptr) RETURN_HR_IF(E_POINTER, (ptr) == nullptr)

// Returns HRESULT_FROM_WIN32(GetLastError()) when a BOOL-style call failed.
#define RETURN_LAST_ERROR_IF(cond)                              \
    do {                                                        \
        if (cond) return ::common::HResultFromLastError();      \
    } while (0)

// Returns HRESULT_FROM_WIN32 of a Win32 status code that is not ERROR_SUCCESS.
#define RETURN_IF_WIN32_ERROR(expr)                             \
    do {                                                        \
        LONG e_ = (expr);                                       \
        if (e_ != ERROR_SUCCESS) return HRESULT_FROM_WIN32(e_); \
    } while (0)

// Logs a failure that the caller deliberately goes on after, and yields the HRESULT.
#define LOG_IF_FAILED(expr)                                                 \
    ([&]() -> HRESULT {                                                     \
        HRESULT hr_ = (expr);                                               \
        if (FAILED(hr_)) ::common::LogFailure(__FILE__, __LINE__, hr_);     \
        return hr_;                                                         \
    }())
