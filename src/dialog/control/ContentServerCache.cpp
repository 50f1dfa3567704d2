#include "dialog/control/ContentServerCache.h"

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "common/Handle.h"

namespace stagehand {

namespace {

constexpr DWORD kFirstBufferSize = 4096;

struct CacheFindTraits {
    using Type = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr; }
    static void Close(HANDLE h) noexcept { ::FindCloseUrlCache(h); }
};
using UniqueCacheFind = common::UniqueResource<CacheFindTraits>;

// The URL as plain single-byte lower case; characters outside ASCII match no host name.
std::string LowerAscii(const wchar_t* url) {
    std::string out;
    for (const wchar_t* p = url; p && *p; ++p) {
        wchar_t c = *p;
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
        out.push_back(c < 0x80 ? static_cast<char>(c) : '\x80');
    }
    return out;
}

// One enumeration step with a buffer of 4096 bytes, retried once with the size the call
// asked for. False ends the enumeration.
template <class Step>
bool Fetch(std::vector<BYTE>& buffer, Step step) {
    buffer.assign(kFirstBufferSize, 0);
    DWORD size = kFirstBufferSize;
    if (step(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size)) return true;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.assign(size, 0);
    return step(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size) != FALSE;
}

}  // namespace

const wchar_t* ContentServerCache::Host() noexcept { return L"" STAGEHAND_CONTENT_HOST; }

void ContentServerCache::Purge(const wchar_t* host) {
    const std::string needle = LowerAscii(host);
    if (needle.empty()) return;
    std::vector<BYTE> buffer;
    UniqueCacheFind find;
    bool more = Fetch(buffer, [&](INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
        find.reset(::FindFirstUrlCacheEntryW(nullptr, entry, size));
        return find.valid();
    });
    if (!find) return;
    // Matches are collected first and deleted after the walk, so that deleting never
    // disturbs the enumeration.
    std::vector<std::wstring> doomed;
    while (more) {
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
        if (!(entry->CacheEntryType & COOKIE_CACHE_ENTRY) && entry->lpszLocalFileName &&
            entry->lpszLocalFileName[0] && entry->lpszSourceUrlName &&
            LowerAscii(entry->lpszSourceUrlName).find(needle) != std::string::npos)
            doomed.emplace_back(entry->lpszSourceUrlName);
        more = Fetch(buffer, [&](INTERNET_CACHE_ENTRY_INFOW* next, DWORD* size) {
            return ::FindNextUrlCacheEntryW(find.get(), next, size);
        });
    }
    find.reset();
    for (const std::wstring& url : doomed) ::DeleteUrlCacheEntryW(url.c_str());
}

}  // namespace stagehand
