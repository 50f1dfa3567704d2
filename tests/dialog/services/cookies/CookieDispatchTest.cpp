// The cookie reader's own name table and dispatcher, driven with raw IDispatch calls.
#include <gtest/gtest.h>

#include "Harness.h"

#include <wininet.h>

using common::Variant;
using harness::Str;

namespace {

const wchar_t kProgId[] = L"PebbleUtil.CookieCtl";

// Arguments as DISPPARAMS hold them: the last argument first.
struct Args {
    explicit Args(std::vector<VARIANT> leftToRight, std::vector<DISPID> namedIds = {})
        : values(leftToRight.rbegin(), leftToRight.rend()), named(std::move(namedIds)) {}
    ~Args() {
        for (auto& v : values) ::VariantClear(&v);
    }
    DISPPARAMS Params() {
        return {values.empty() ? nullptr : values.data(), named.empty() ? nullptr : named.data(),
                static_cast<UINT>(values.size()), static_cast<UINT>(named.size())};
    }
    std::vector<VARIANT> values;
    std::vector<DISPID> named;
};

struct Outcome {
    HRESULT hr = E_FAIL;
    UINT argErr = 0xFFFF;
    Variant result;
};

Outcome Invoke(IDispatch* obj, DISPID id, Args& args, WORD flags = DISPATCH_METHOD) {
    Outcome o;
    DISPPARAMS dp = args.Params();
    o.hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, o.result.get(), nullptr, &o.argErr);
    return o;
}

// VT_NULL has no text: VariantChangeType to VT_BSTR refuses it.
VARIANT NullArg() {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_NULL;
    return v;
}

std::wstring Site(const wchar_t* tag) {
    return L"http://" + std::wstring(tag) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L".example.com/";
}

}  // namespace

TEST(CookieDispatch, NamesAreLookedUpInOrderUntilTheFirstUnknown) {
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    LPOLESTR known[] = {const_cast<LPOLESTR>(L"GetCookieItem"), const_cast<LPOLESTR>(L"GETCOOKIE")};
    DISPID ids[3] = {-7, -7, -7};
    EXPECT_HR(S_OK, obj->GetIDsOfNames(IID_NULL, known, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(2, ids[0]);
    EXPECT_EQ(1, ids[1]);

    LPOLESTR mixed[] = {const_cast<LPOLESTR>(L"getcookie"), const_cast<LPOLESTR>(L"getCookies"),
                        const_cast<LPOLESTR>(L"getCookieItem")};
    DISPID out[3] = {-7, -7, -7};
    EXPECT_HR(DISP_E_UNKNOWNNAME, obj->GetIDsOfNames(IID_NULL, mixed, 3, LOCALE_USER_DEFAULT, out));
    EXPECT_EQ(1, out[0]);
    EXPECT_EQ(-7, out[1]);
    EXPECT_EQ(-7, out[2]);
}

TEST(CookieDispatch, ParameterBlockAndCountsAreCheckedFirst) {
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    Variant result;
    UINT argErr = 0;
    EXPECT_HR(DISP_E_BADVARTYPE, obj->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, result.get(), nullptr, &argErr));
    EXPECT_HR(DISP_E_BADVARTYPE, obj->Invoke(99, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr));

    // Four arguments are too many for any member, known or not.
    for (DISPID id : {1, 2, 99}) {
        SCOPED_TRACE(id);
        Args four({Str(L"a"), Str(L"b"), Str(L"c"), Str(L"d")});
        EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), id, four).hr);
    }
    Args none({});
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), 1, none).hr);
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), 2, none).hr);
    Args two({Str(L"a"), Str(L"b")});
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), 1, two).hr);
    Args one({Str(L"a")});
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), 2, one).hr);
    Args three({Str(L"a"), Str(L"b"), Str(L"c")});
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Invoke(obj.get(), 2, three).hr);

    // Known counts, unknown member.
    for (DISPID id : {0, 3, -1}) {
        SCOPED_TRACE(id);
        Args arg({Str(L"a")});
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, Invoke(obj.get(), id, arg).hr);
    }
}

TEST(CookieDispatch, OnlyTheNamedPropertyPutArgumentIsAccepted) {
    const std::wstring url = Site(L"named");
    ASSERT_TRUE(::InternetSetCookieW(url.c_str(), nullptr, L"n=v"));
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);

    Args other({Str(url)}, {0});
    EXPECT_HR(DISP_E_NONAMEDARGS, Invoke(obj.get(), 1, other).hr);
    Args twoNamed({Str(url), Str(L"n")}, {DISPID_PROPERTYPUT, 0});
    EXPECT_HR(DISP_E_NONAMEDARGS, Invoke(obj.get(), 2, twoNamed).hr);

    // Whatever the flags, the one DISPID_PROPERTYPUT argument passes.
    Args put({Str(url)}, {DISPID_PROPERTYPUT});
    Outcome o = Invoke(obj.get(), 1, put, DISPATCH_PROPERTYPUT);
    EXPECT_HR(S_OK, o.hr);
    ASSERT_EQ(VT_BSTR, o.result.vt());
    EXPECT_STREQ(L"n=v", V_BSTR(o.result.get()));
    Args get({Str(url), Str(L"n")});
    o = Invoke(obj.get(), 2, get, DISPATCH_PROPERTYGET);
    EXPECT_HR(S_OK, o.hr);
    EXPECT_STREQ(L"v", V_BSTR(o.result.get()));
}

TEST(CookieDispatch, ArgumentsBecomeStringsOrReportTheirIndex) {
    const std::wstring url = Site(L"convert");
    ASSERT_TRUE(::InternetSetCookieW(url.c_str(), nullptr, L"5=five"));
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);

    Args badUrl({NullArg()});
    Outcome o = Invoke(obj.get(), 1, badUrl);
    EXPECT_HR(DISP_E_TYPEMISMATCH, o.hr);
    EXPECT_EQ(0u, o.argErr);
    Args badFirst({NullArg(), Str(L"5")});
    o = Invoke(obj.get(), 2, badFirst);
    EXPECT_HR(DISP_E_TYPEMISMATCH, o.hr);
    EXPECT_EQ(1u, o.argErr);
    Args badSecond({Str(url), NullArg()});
    o = Invoke(obj.get(), 2, badSecond);
    EXPECT_HR(DISP_E_TYPEMISMATCH, o.hr);
    EXPECT_EQ(0u, o.argErr);

    // A number is looked up as its text; a string may come by reference.
    Args number({Str(url), harness::I4(5)});
    o = Invoke(obj.get(), 2, number);
    EXPECT_HR(S_OK, o.hr);
    ASSERT_EQ(VT_BSTR, o.result.vt());
    EXPECT_STREQ(L"five", V_BSTR(o.result.get()));
    BSTR byRef = ::SysAllocString(url.c_str());
    Args ref({harness::Ref(&byRef)});
    o = Invoke(obj.get(), 1, ref);
    ::SysFreeString(byRef);
    EXPECT_HR(S_OK, o.hr);
    EXPECT_STREQ(L"5=five", V_BSTR(o.result.get()));

    // No result slot: the call still runs.
    Args noResult({Str(url)});
    DISPPARAMS dp = noResult.Params();
    EXPECT_HR(S_OK, obj->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr));
}
