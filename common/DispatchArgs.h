#pragma once
// The arguments of an IDispatch::Invoke call arranged by parameter position, for
// hand-written dispatchers whose name tables give each parameter name its position
// (so a caller may pass arguments by name as well as in order).
#include <windows.h>
#include <oaidl.h>

namespace common {

class DispatchArgs {
public:
    static const UINT kMaxArgs = 16;

    // Checks the parameter block and maps every argument to its position:
    // - no parameter block: DISP_E_BADVARTYPE;
    // - more than maxArgs arguments: DISP_E_BADPARAMCOUNT;
    // - a leading named argument DISPID_PROPERTYPUT counts as a positional one;
    // - positional arguments (stored last to first) take the positions from 0 on;
    // - every other named argument must name a free position below the argument
    //   count, else DISP_E_PARAMNOTFOUND with its index stored in *argErr.
    HRESULT Init(const DISPPARAMS* params, UINT maxArgs, UINT* argErr) noexcept;

    UINT Count() const noexcept { return count_; }
    // The argument for parameter `position` (below Count()).
    VARIANT* At(UINT position) const noexcept { return &params_->rgvarg[index_[position]]; }
    // Its index in the caller's argument array, the index argument errors report.
    UINT IndexOf(UINT position) const noexcept { return index_[position]; }

    // The argument at `position` converted to VT_I4; DISP_E_TYPEMISMATCH with its
    // index in *argErr when it can't be.
    HRESULT I4At(UINT position, LONG* out, UINT* argErr) const noexcept;

private:
    const DISPPARAMS* params_ = nullptr;
    UINT count_ = 0;
    UINT index_[kMaxArgs] = {};
};

}  // namespace common
