// The one piece of MSVC's COM support library (comsupp.lib) that the UnRAR source
// uses: _bstr_t built from a char string converts it with this helper, which mingw-w64
// declares in <comutil.h> but does not implement.
#include <windows.h>
#include <comutil.h>

namespace _com_util {

// A new BSTR holding `text` (ANSI code page) as UTF-16; null for a null string or when
// memory runs out. The caller frees it with SysFreeString.
BSTR WINAPI ConvertStringToBSTR(const char* text) {
    if (!text) return nullptr;
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (chars <= 0) return nullptr;
    // chars counts the terminator, which SysAllocStringLen adds itself.
    BSTR result = ::SysAllocStringLen(nullptr, static_cast<UINT>(chars - 1));
    if (!result) return nullptr;
    if (::MultiByteToWideChar(CP_ACP, 0, text, -1, result, chars) != chars) {
        ::SysFreeString(result);
        return nullptr;
    }
    return result;
}

}  // namespace _com_util
