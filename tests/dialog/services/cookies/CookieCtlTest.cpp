// The cookie reader on cookies set through WinINet by the test, called by name the
// way the installer script calls it.
#include <gtest/gtest.h>

#include "Harness.h"

#include <wininet.h>
#include "stagehand.h"

using common::Bstr;
using common::ComPtr;
using common::Variant;
using harness::Str;

namespace {

const wchar_t kProgId[] = L"PebbleUtil.CookieCtl";

// A site no other test uses, so each test sees only its own cookies.
std::wstring FreshSite(const wchar_t* tag) {
    static LONG counter = 0;
    return L"http://" + std::wstring(tag) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::InterlockedIncrement(&counter)) + L".example.com/";
}

void SetCookie(const std::wstring& url, const wchar_t* cookie) {
    ASSERT_TRUE(::InternetSetCookieW(url.c_str(), nullptr, cookie))
        << harness::Narrow(cookie) << " error " << ::GetLastError();
}

// What the platform itself reports for the URL.
std::wstring PlatformCookies(const std::wstring& url) {
    wchar_t buf[4096] = {};
    DWORD size = 4096;
    if (!::InternetGetCookieW(url.c_str(), nullptr, buf, &size)) return L"<none>";
    return buf;
}

struct Result {
    HRESULT hr = E_FAIL;
    bool isNull = false;
    std::wstring text;
};

Result Invoke(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args) {
    Result r;
    Variant out;
    r.hr = harness::Call(obj, name, std::move(args), out.get());
    EXPECT_EQ(VT_BSTR, out.vt());
    r.isNull = out.vt() == VT_BSTR && V_BSTR(out.get()) == nullptr;
    if (out.vt() == VT_BSTR && V_BSTR(out.get())) r.text = V_BSTR(out.get());
    return r;
}

Result Item(IDispatch* obj, const std::wstring& url, VARIANT item) {
    return Invoke(obj, L"getCookieItem", {Str(url), item});
}

}  // namespace

TEST(CookieCtl, WholeStringAndItemsByExactName) {
    const std::wstring url = FreshSite(L"whole");
    SetCookie(url, L"a=1");
    SetCookie(url, L"b=2");
    ASSERT_EQ(L"a=1; b=2", PlatformCookies(url));
    auto cookies = harness::Create(kProgId);
    ASSERT_TRUE(cookies);

    Result all = Invoke(cookies.get(), L"getCookie", {Str(url)});
    EXPECT_HR(S_OK, all.hr);
    EXPECT_EQ(L"a=1; b=2", all.text);
    Result b = Item(cookies.get(), url, Str(L"b"));
    EXPECT_HR(S_OK, b.hr);
    EXPECT_EQ(L"2", b.text);
    EXPECT_EQ(L"1", Item(cookies.get(), url, Str(L"a")).text);
    // Names are case-sensitive: no match is a null string, still S_OK.
    Result upper = Item(cookies.get(), url, Str(L"B"));
    EXPECT_HR(S_OK, upper.hr);
    EXPECT_TRUE(upper.isNull);
    // Argument names of the dispatcher are not case-sensitive.
    EXPECT_EQ(L"a=1; b=2", Invoke(cookies.get(), L"GETCOOKIE", {Str(url)}).text);
}

TEST(CookieCtl, LastMatchWinsAndOnlyTheFirstEqualsSignSplits) {
    const std::wstring url = FreshSite(L"split");
    SetCookie(url, L"x=y=z");
    SetCookie(url + L"deeper/", L"a=2");
    SetCookie(url, L"a=1");
    const std::wstring page = url + L"deeper/page";
    auto cookies = harness::Create(kProgId);
    ASSERT_TRUE(cookies);

    const std::wstring all = Invoke(cookies.get(), L"getCookie", {Str(page)}).text;
    EXPECT_EQ(PlatformCookies(page), all);
    // Both cookies named a reach the page; the one listed last is the answer.
    const size_t first = all.find(L"a="), last = all.rfind(L"a=");
    ASSERT_NE(std::wstring::npos, first);
    ASSERT_NE(first, last) << harness::Narrow(all);
    EXPECT_EQ(all.substr(last + 2, 1), Item(cookies.get(), page, Str(L"a")).text) << harness::Narrow(all);
    EXPECT_EQ(L"y=z", Item(cookies.get(), page, Str(L"x")).text);
    Result none = Item(cookies.get(), page, Str(L"y"));
    EXPECT_TRUE(none.isNull);
}

TEST(CookieCtl, NamesAreNotTrimmedAndTokensWithoutEqualsHaveNoName) {
    const std::wstring url = FreshSite(L"trim");
    SetCookie(url, L"a =1");
    SetCookie(url, L"lonely");
    auto cookies = harness::Create(kProgId);
    ASSERT_TRUE(cookies);
    const std::wstring all = Invoke(cookies.get(), L"getCookie", {Str(url)}).text;
    ASSERT_EQ(PlatformCookies(url), all);
    ASSERT_NE(std::wstring::npos, all.find(L"a =1")) << harness::Narrow(all);
    ASSERT_NE(std::wstring::npos, all.find(L"lonely")) << harness::Narrow(all);
    ASSERT_EQ(std::wstring::npos, all.find(L"=lonely")) << harness::Narrow(all);

    EXPECT_TRUE(Item(cookies.get(), url, Str(L"a")).isNull);
    EXPECT_EQ(L"1", Item(cookies.get(), url, Str(L"a ")).text);
    EXPECT_EQ(L"lonely", Item(cookies.get(), url, Str(L"")).text);
    EXPECT_EQ(L"lonely", Item(cookies.get(), url, Str(static_cast<const wchar_t*>(nullptr))).text);
    EXPECT_TRUE(Item(cookies.get(), url, Str(L"lonely")).isNull);
}

TEST(CookieCtl, SiteWithoutCookiesGivesSFalseAndNull) {
    const std::wstring url = FreshSite(L"empty");
    ASSERT_EQ(L"<none>", PlatformCookies(url));
    auto cookies = harness::Create(kProgId);
    ASSERT_TRUE(cookies);
    Result all = Invoke(cookies.get(), L"getCookie", {Str(url)});
    EXPECT_HR(S_FALSE, all.hr);
    EXPECT_TRUE(all.isNull);
    Result item = Item(cookies.get(), url, Str(L"a"));
    EXPECT_HR(S_FALSE, item.hr);
    EXPECT_TRUE(item.isNull);
    Result blank = Invoke(cookies.get(), L"getCookie", {Str(L"")});
    EXPECT_HR(S_FALSE, blank.hr);
    EXPECT_TRUE(blank.isNull);
}

TEST(CookieCtl, MissingOutPointerIsEPointer) {
    const std::wstring url = FreshSite(L"pointer");
    SetCookie(url, L"a=1");
    auto disp = harness::Create(kProgId);
    ASSERT_TRUE(disp);
    ComPtr<ICookieCtl> cookies;
    ASSERT_HR(S_OK, disp->QueryInterface(IID_ICookieCtl, cookies.put_void()));
    Bstr u(url.c_str()), a(L"a");
    EXPECT_HR(E_POINTER, cookies->getCookie(u.get(), nullptr));
    EXPECT_HR(E_POINTER, cookies->getCookieItem(u.get(), a.get(), nullptr));
    Bstr value;
    EXPECT_HR(S_OK, cookies->getCookieItem(u.get(), a.get(), value.put()));
    EXPECT_STREQ(L"1", value.c_str());
}
