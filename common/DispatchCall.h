#pragma once
// One late-bound call as a row of a dispatch table sees it: the arguments, already
// checked and converted, by position (0 is the first argument the caller wrote), and a
// place for the method's result that reaches the caller's result variant only when the
// method succeeded.
#include <windows.h>
#include <oaidl.h>

#include "common/Variant.h"

namespace common {

class DispatchCall {
public:
    static const UINT kMaxArgs = 4;

    DispatchCall() noexcept = default;
    DispatchCall(const DispatchCall&) = delete;
    DispatchCall& operator=(const DispatchCall&) = delete;

    // Takes the arguments of `params` (exactly `count` of them, count <= kMaxArgs).
    // argType VT_VARIANT takes each argument as it is, following a VT_BYREF | VT_VARIANT
    // reference; any other type converts each argument to it, first argument first. A
    // failed conversion gives DISP_E_TYPEMISMATCH with the argument's index in the
    // caller's array (0 is the last argument) in *argErr.
    HRESULT Prepare(const DISPPARAMS* params, UINT count, VARTYPE argType, UINT* argErr) noexcept;

    UINT Count() const noexcept { return count_; }
    // The argument at a position, as Prepare left it (converted, or the caller's value).
    const VARIANT& Arg(UINT position) const noexcept;
    // The text of a VT_BSTR argument (null for a null BSTR).
    BSTR Text(UINT position) const noexcept;
    // The number of a VT_I4 argument.
    LONG Number(UINT position) const noexcept;

    // Places for the method's [out, retval] value; the last one asked for is the result.
    BSTR* TextResult() noexcept;            // VT_BSTR
    VARIANT_BOOL* FlagResult() noexcept;    // VT_BOOL
    LONG* NumberResult() noexcept;          // VT_I4
    ULONG* UnsignedResult() noexcept;       // VT_I4 holding the same 32 bits
    VARIANT* ValueResult() noexcept;        // the variant as the method leaves it

    // Moves the result into the caller's variant (when given; otherwise it is freed).
    void Deliver(VARIANT* result) noexcept;

private:
    UINT count_ = 0;
    Variant converted_[kMaxArgs];
    const VARIANT* args_[kMaxArgs] = {};
    Variant result_;
};

}  // namespace common
