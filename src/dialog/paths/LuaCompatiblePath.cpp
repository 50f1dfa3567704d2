#include <windows.h>

constexpr int kLuaPathBufferSize = MAX_PATH;

namespace {

// Converts without loss into buffer (bound kLuaPathBufferSize), or fails.
HRESULT ConvertExact(const wchar_t* path, char* buffer) {
    BOOL lossy = FALSE;
    int needed = ::WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, path, -1, nullptr, 0, nullptr, &lossy);
    if (needed <= 0) return HRESULT_FROM_WIN32(::GetLastError());
    if (lossy) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    if (needed > kLuaPathBufferSize) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (::WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, path, -1, buffer, kLuaPathBufferSize, nullptr,
                              &lossy) <= 0)
        return HRESULT_FROM_WIN32(::GetLastError());
    return S_OK;
}

}  // namespace

extern "C" HRESULT WINAPI GetLuaCompatiblePathImplementation(const wchar_t* path, char* buffer) {
    if (!path || !buffer) return E_POINTER;
    HRESULT hr = ConvertExact(path, buffer);
    if (hr != HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)) {
        if (FAILED(hr)) buffer[0] = '\0';
        return hr;
    }
    // Characters outside the code page: the short name spells the same file in ASCII.
    // A short path that converts fits in the narrow buffer only if it has fewer than
    // MAX_PATH characters, so a MAX_PATH buffer is enough to decide.
    wchar_t shortPath[kLuaPathBufferSize];
    DWORD got = ::GetShortPathNameW(path, shortPath, kLuaPathBufferSize);
    if (got == 0 || got >= static_cast<DWORD>(kLuaPathBufferSize)) {
        buffer[0] = '\0';
        return got == 0 ? HRESULT_FROM_WIN32(::GetLastError()) : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    hr = ConvertExact(shortPath, buffer);
    if (FAILED(hr)) buffer[0] = '\0';
    return hr;
}
