#include "common/TableDispatch.h"

namespace common {
namespace table_dispatch {

bool SameName(const wchar_t* asked, const wchar_t* known) noexcept {
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, asked, -1, known, -1) == CSTR_EQUAL;
}

void ClearErrorInfo() noexcept { ::SetErrorInfo(0, nullptr); }

}  // namespace table_dispatch
}  // namespace common
