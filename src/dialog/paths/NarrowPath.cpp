#include "dialog/paths/NarrowPath.h"

namespace stagehand {

namespace {

// Code pages that refuse WC_NO_BEST_FIT_CHARS (and a used-default flag).
bool TakesNoFlags(UINT codePage) {
    return codePage == CP_UTF8 || codePage == CP_UTF7 || codePage == 42 || codePage == 54936 ||
           (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

// Longest path this module handles; longer input fails as "insufficient buffer".
constexpr int kMaxWide = 32768;

}  // namespace

UINT ThreadAnsiCodePage() {
    UINT codePage = 0;
    if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<wchar_t*>(&codePage), sizeof codePage / sizeof(wchar_t)) == 0 ||
        codePage == 0)
        codePage = ::GetACP();
    return codePage;
}

HRESULT ConvertLossless(UINT codePage, const wchar_t* path, char* buffer, int size) {
    if (size <= 0) return E_INVALIDARG;
    buffer[0] = '\0';
    const int wideLength = ::lstrlenW(path);
    if (wideLength >= kMaxWide) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    const DWORD flags = TakesNoFlags(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = TakesNoFlags(codePage) ? nullptr : &usedDefault;
    const int needed = ::WideCharToMultiByte(codePage, flags, path, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0) return HRESULT_FROM_WIN32(::GetLastError());
    if (usedDefault) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    if (needed > size) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (::WideCharToMultiByte(codePage, flags, path, -1, buffer, size, nullptr, usedDefaultOut) <= 0) {
        buffer[0] = '\0';
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    // Lossless only when the narrow text reads back as the same characters (code pages
    // without a used-default report replace lone surrogates and the like silently).
    bool same = false;
    const int back = ::MultiByteToWideChar(codePage, 0, buffer, -1, nullptr, 0);
    if (back == wideLength + 1) {
        wchar_t* check = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, back * sizeof(wchar_t)));
        if (!check) {
            buffer[0] = '\0';
            return E_OUTOFMEMORY;
        }
        same = ::MultiByteToWideChar(codePage, 0, buffer, -1, check, back) == back &&
               ::CompareStringOrdinal(check, -1, path, -1, FALSE) == CSTR_EQUAL;
        ::HeapFree(::GetProcessHeap(), 0, check);
    }
    if (usedDefault || !same) {
        buffer[0] = '\0';
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    }
    return S_OK;
}

HRESULT NarrowPath(UINT codePage, const wchar_t* path, char* buffer, int size) {
    HRESULT hr = ConvertLossless(codePage, path, buffer, size);
    if (hr != HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)) return hr;

    // Characters outside the code page: the short name spells the same file in ASCII. A
    // short path that converts fits in a `size`-byte buffer only if it has fewer than
    // `size` characters, so a buffer of that many characters is enough to decide.
    const int wideLength = ::lstrlenW(path);
    const DWORD room = static_cast<DWORD>(size) + static_cast<DWORD>(wideLength) + 1;
    wchar_t* work = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, room * sizeof(wchar_t)));
    if (!work) return E_OUTOFMEMORY;
    wchar_t* shortPath = work;
    DWORD got = ::GetShortPathNameW(path, shortPath, static_cast<DWORD>(size));
    if (got > 0 && got < static_cast<DWORD>(size)) {
        hr = ConvertLossless(codePage, shortPath, buffer, size);
    } else {
        hr = got == 0 ? HRESULT_FROM_WIN32(::GetLastError()) : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        // The usual "<chosen folder>\<game>" before unpacking: the last folders do not
        // exist yet. Shorten the longest existing folder and keep the rest as given.
        if (got == 0) {
            wchar_t* prefix = work + size;  // room for wideLength + 1
            ::lstrcpynW(prefix, path, wideLength + 1);
            for (int cut = wideLength - 1; cut > 0; --cut) {
                if (prefix[cut] != L'\\' && prefix[cut] != L'/') continue;
                // A drive's root keeps its separator ("C:" alone names the current folder).
                const int keep = (cut == 2 && prefix[1] == L':') ? cut + 1 : cut;
                prefix[keep] = L'\0';
                const DWORD n = ::GetShortPathNameW(prefix, shortPath, static_cast<DWORD>(size));
                if (n == 0) continue;  // this folder does not exist either: go up
                if (n < static_cast<DWORD>(size) && static_cast<int>(n) + (wideLength - keep) < size) {
                    ::lstrcpynW(shortPath + n, path + keep, wideLength - keep + 1);
                    hr = ConvertLossless(codePage, shortPath, buffer, size);
                } else {
                    hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
                }
                break;
            }
        }
    }
    ::HeapFree(::GetProcessHeap(), 0, work);
    if (FAILED(hr)) buffer[0] = '\0';
    return hr;
}

}  // namespace stagehand
