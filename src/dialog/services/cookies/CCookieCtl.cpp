#include "dialog/services/cookies/CCookieCtl.h"

#include <wininet.h>

#include <cwctype>
#include <new>
#include <vector>

#include "dialog/module/DispIds.h"

namespace {
// Arguments are converted to text: getCookie(url), getCookieItem(url, item).
const common::DispatchRow<CCookieCtl> kRows[] = {
    {L"getCookie", DISPID_COOKIE_GETCOOKIE, 1,
     [](CCookieCtl& o, common::DispatchCall& c) { return o.getCookie(c.Text(0), c.TextResult()); }},
    {L"getCookieItem", DISPID_COOKIE_GETCOOKIEITEM, 2,
     [](CCookieCtl& o, common::DispatchCall& c) { return o.getCookieItem(c.Text(0), c.Text(1), c.TextResult()); }},
};
}  // namespace

// Up to three arguments reach any member; more are refused before the member is looked at.
const common::DispatchTable<CCookieCtl> CCookieCtl::kDispatchTable = {kRows, sizeof kRows / sizeof kRows[0], 3};

CCookieCtl::CCookieCtl() : common::ProvideClassInfoImpl(__uuidof(CCookieCtl)) {}

CCookieCtl::~CCookieCtl() = default;

STDMETHODIMP CCookieCtl::getCookie(BSTR bstrURL, BSTR* bstrValue) {
    RETURN_IF_NULL(bstrValue);
    *bstrValue = nullptr;
    const wchar_t* url = common::BstrText(bstrURL);
    // Without a buffer the library reports the size it needs (in bytes, which is
    // more than enough characters).
    DWORD size = 0;
    if (!::InternetGetCookieW(url, nullptr, nullptr, &size)) return S_FALSE;
    return common::NoThrow([&]() -> HRESULT {
        std::vector<wchar_t> buf(static_cast<size_t>(size) + 1, L'\0');
        DWORD chars = size;
        if (!::InternetGetCookieW(url, nullptr, buf.data(), &chars)) return S_FALSE;
        *bstrValue = ::SysAllocString(buf.data());
        return *bstrValue ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP CCookieCtl::getCookieItem(BSTR bstrURL, BSTR bstrItem, BSTR* bstrValue) {
    RETURN_IF_NULL(bstrValue);
    *bstrValue = nullptr;
    common::Bstr all;
    if (getCookie(bstrURL, all.put()) != S_OK) return S_FALSE;

    const wchar_t* item = common::BstrText(bstrItem);
    const wchar_t* p = all.c_str();
    common::Bstr found;
    // Tokens between semicolons; runs of semicolons give no empty tokens.
    for (;;) {
        while (*p == L';') ++p;
        if (!*p) break;
        const wchar_t* begin = p;
        while (*p && *p != L';') ++p;
        const wchar_t* end = p;
        while (end > begin && std::iswspace(end[-1])) --end;
        while (begin < end && std::iswspace(*begin)) ++begin;
        // The name ends at the first '='; without one the name is empty and the
        // value is the whole token.
        const wchar_t* eq = begin;
        while (eq < end && *eq != L'=') ++eq;
        const wchar_t* nameEnd = eq < end ? eq : begin;
        const wchar_t* value = eq < end ? eq + 1 : begin;
        const size_t nameLen = static_cast<size_t>(nameEnd - begin);
        if (std::wcslen(item) == nameLen && std::wcsncmp(item, begin, nameLen) == 0) {
            // A later cookie of the same name wins.
            found.reset(::SysAllocStringLen(value, static_cast<UINT>(end - value)));
            if (!found) return E_OUTOFMEMORY;
        }
    }
    *bstrValue = found.release();
    return S_OK;
}
