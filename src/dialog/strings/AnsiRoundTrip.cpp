#include "dialog/strings/AnsiRoundTrip.h"

#include <climits>
#include <new>
#include <vector>

#include "common/Bstr.h"
#include "common/HResult.h"

namespace stagehand {

HRESULT AnsiRoundTrip::Convert(BSTR text, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!text) return S_OK;
    try {
        // The whole BSTR with its terminator: embedded nulls survive the trip.
        const size_t units = static_cast<size_t>(::SysStringLen(text)) + 1;
        if (units > INT_MAX) return E_INVALIDARG;
        const int wideCount = static_cast<int>(units);

        // Four bytes per character hold any code page's text; should one not, ask
        // for the exact size and convert again.
        std::vector<char> narrow;
        int bytes = 0;
        if (units <= INT_MAX / 4) {
            narrow.resize(units * 4);
            bytes = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, wideCount, narrow.data(),
                                          static_cast<int>(narrow.size()), nullptr, nullptr);
        }
        if (bytes == 0) {
            DWORD error = units <= INT_MAX / 4 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER;
            if (error != ERROR_INSUFFICIENT_BUFFER) return HRESULT_FROM_WIN32(error);
            int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, wideCount, nullptr, 0, nullptr, nullptr);
            if (needed <= 0) return common::HResultFromLastError();
            narrow.resize(static_cast<size_t>(needed));
            bytes = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, wideCount, narrow.data(), needed, nullptr, nullptr);
            if (bytes == 0) return common::HResultFromLastError();
        }

        // Back to UTF-16; the count includes the terminator the BSTR keeps itself.
        int back = ::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), bytes, nullptr, 0);
        if (back <= 0) return common::HResultFromLastError();
        common::Bstr result(nullptr, static_cast<UINT>(back - 1));
        if (!result) return E_OUTOFMEMORY;
        if (::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), bytes, result.get(), back) != back)
            return common::HResultFromLastError();
        *out = result.release();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace stagehand
