// The probes' own name tables and dispatchers: names with their parameter positions,
// arguments by position or by name, and the dispatch errors a script can meet.
#include <gtest/gtest.h>

#include "Harness.h"
#include "InvokeHelpers.h"
#include "VendorStandIn.h"

using harness::I4;
using harness::Str;

namespace {

const wchar_t kBrowser[] = L"browserprobe.ChromeCompatibilityChecker";
const wchar_t kToolbar[] = L"toolbarprobe.gtb";

struct NameCase {
    const wchar_t* progId;
    const wchar_t* name;
    DISPID id;
};

}  // namespace

TEST(ProbeNameTables, NamesResolveToTheirPositionsInAnyCase) {
    const NameCase cases[] = {
        {kBrowser, L"record", 0},      {kBrowser, L"ret", 1},         {kBrowser, L"ChromeCheck", 1},
        {kBrowser, L"chromecheck", 1}, {kBrowser, L"StartGoogleChrome", 2}, {kBrowser, L"STARTGOOGLECHROME", 2},
        {kBrowser, L"RET", 1},         {kToolbar, L"record", 0},      {kToolbar, L"reason", 1},
        {kToolbar, L"shouldOffer", 1}, {kToolbar, L"ShouldOffer", 1}, {kToolbar, L"REASON", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(harness::Narrow(c.progId) + " " + harness::Narrow(c.name));
        auto obj = harness::Create(c.progId);
        ASSERT_TRUE(obj);
        HRESULT hr = E_FAIL;
        EXPECT_EQ(c.id, harness::DispId(obj.get(), c.name, &hr));
        EXPECT_HR(S_OK, hr);
    }
}

TEST(ProbeNameTables, MethodWithParameterNamesAndUnknownNames) {
    auto browser = harness::Create(kBrowser);
    ASSERT_TRUE(browser);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ChromeCheck"), const_cast<LPOLESTR>(L"record")};
    DISPID ids[2] = {-7, -7};
    ASSERT_HR(S_OK, browser->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(0, ids[1]);

    for (const wchar_t* progId : {kBrowser, kToolbar}) {
        auto obj = harness::Create(progId);
        ASSERT_TRUE(obj);
        HRESULT hr = S_OK;
        harness::DispId(obj.get(), L"reasons", &hr);
        EXPECT_HR(DISP_E_UNKNOWNNAME, hr);
        harness::DispId(obj.get(), L"Navigate", &hr);
        EXPECT_HR(DISP_E_UNKNOWNNAME, hr);
    }
    auto toolbar = harness::Create(kToolbar);
    HRESULT hr = S_OK;
    harness::DispId(toolbar.get(), L"StartGoogleChrome", &hr);
    EXPECT_HR(DISP_E_UNKNOWNNAME, hr) << "the toolbar probe has no browser start";
}

TEST(ProbeDispatch, ParameterBlockAndArgumentCounts) {
    auto browser = harness::Create(kBrowser);
    auto toolbar = harness::Create(kToolbar);
    ASSERT_TRUE(browser && toolbar);
    LONG reason = 0;
    for (IDispatch* obj : {browser.get(), toolbar.get()}) {
        RawCall none;
        none.noParams = true;
        EXPECT_HR(DISP_E_BADVARTYPE, InvokeRaw(obj, 1, none).hr);
        EXPECT_HR(DISP_E_BADPARAMCOUNT, InvokeRaw(obj, 1, {{I4(1), I4(2), I4(3)}}).hr);
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, InvokeRaw(obj, 7, {{}}).hr);
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, InvokeRaw(obj, 0, {{}}).hr);
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, InvokeRaw(obj, DISPID_VALUE - 1, {{}}).hr);
    }
    // ChromeCheck takes exactly one argument, StartGoogleChrome none.
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(browser.get(), L"ChromeCheck", {}));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(browser.get(), L"ChromeCheck", {I4(1), I4(2)}));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(browser.get(), L"StartGoogleChrome", {I4(1)}));
    // shouldOffer takes exactly two; the toolbar probe has no DISPID 2.
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(toolbar.get(), L"shouldOffer", {I4(1)}));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(toolbar.get(), L"shouldOffer", {}));
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, InvokeRaw(toolbar.get(), 2, {{}}).hr);
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, InvokeRaw(toolbar.get(), 2, {{I4(1), RefI4(&reason)}}).hr);
}

TEST(ProbeDispatch, NamedArgumentsMustNameAPositionBelowTheCount) {
    auto browser = harness::Create(kBrowser);
    auto toolbar = harness::Create(kToolbar);
    ASSERT_TRUE(browser && toolbar);
    // ChromeCheck(ret := 5): position 1 of one argument.
    RawResult r = InvokeRaw(browser.get(), 1, {{I4(5)}, {1}});
    EXPECT_HR(DISP_E_PARAMNOTFOUND, r.hr);
    EXPECT_EQ(0u, r.argErr);
    // shouldOffer(record := 1, <position 2>): the second named argument is the bad one.
    LONG reason = 0;
    r = InvokeRaw(toolbar.get(), 1, {{I4(1), RefI4(&reason)}, {0, 2}});
    EXPECT_HR(DISP_E_PARAMNOTFOUND, r.hr);
    EXPECT_EQ(1u, r.argErr);
    r = InvokeRaw(toolbar.get(), 1, {{RefI4(&reason), I4(1)}, {DISPID_UNKNOWN}});
    EXPECT_HR(DISP_E_PARAMNOTFOUND, r.hr);
    EXPECT_EQ(0u, r.argErr);
    // Two arguments for one position (a named one repeating a positional one).
    r = InvokeRaw(toolbar.get(), 1, {{I4(1), I4(2)}, {0}});
    EXPECT_HR(DISP_E_PARAMNOTFOUND, r.hr);
    EXPECT_EQ(0u, r.argErr);
    r = InvokeRaw(toolbar.get(), 1, {{RefI4(&reason), RefI4(&reason)}, {1, 1}});
    EXPECT_HR(DISP_E_PARAMNOTFOUND, r.hr);
    EXPECT_EQ(1u, r.argErr);
    EXPECT_EQ(0, reason) << "a refused call writes nothing";
}

TEST(ProbeDispatch, ArgumentsByNameReachTheirParameters) {
    VendorStandIn browserLib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    browserLib.Answer(0, 0x21);
    auto browser = harness::Create(kBrowser);
    ASSERT_TRUE(browser);
    RawResult r = InvokeRaw(browser.get(), 1, {{I4(31)}, {0}});
    ASSERT_HR(S_OK, r.hr);
    EXPECT_EQ(VT_I4, V_VT(&r.result));
    EXPECT_EQ(0x21, V_I4(&r.result));
    // A property-put style call: the leading DISPID_PROPERTYPUT argument is positional.
    r = InvokeRaw(browser.get(), 1, {{I4(32)}, {DISPID_PROPERTYPUT}, DISPATCH_PROPERTYPUT});
    ASSERT_HR(S_OK, r.hr);
    EXPECT_EQ(0x21, V_I4(&r.result));
    EXPECT_EQ((std::vector<std::string>{"call record=31 reasons=0x8000ffff", "call record=32 reasons=0x8000ffff"}),
              browserLib.Calls());
}

TEST(ProbeDispatch, ToolbarArgumentsByNameInEitherOrder) {
    VendorStandIn toolbarLib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    toolbarLib.Answer(0, 0x44);
    auto toolbar = harness::Create(kToolbar);
    ASSERT_TRUE(toolbar);
    LONG reason = 7;
    // reason := &reason, record := 12 (stored in the order given, both named).
    RawResult r = InvokeRaw(toolbar.get(), 1, {{RefI4(&reason), I4(12)}, {1, 0}});
    ASSERT_HR(S_OK, r.hr);
    EXPECT_EQ(0x44, reason);
    // record positional (13), reason := &reason named.
    reason = 7;
    r = InvokeRaw(toolbar.get(), 1, {{RefI4(&reason), I4(13)}, {1}});
    ASSERT_HR(S_OK, r.hr);
    EXPECT_EQ(0x44, reason);
    EXPECT_EQ(VT_EMPTY, V_VT(&r.result)) << "shouldOffer has no result value";
    const auto calls = toolbarLib.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(0u, calls[0].find("call record=12 "));
    EXPECT_EQ(0u, calls[1].find("call record=13 "));
}

TEST(ProbeDispatch, ChromeCheckRecordIsConvertedToAnInteger) {
    VendorStandIn browserLib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    auto browser = harness::Create(kBrowser);
    ASSERT_TRUE(browser);
    common::Variant ret;
    EXPECT_HR(S_OK, harness::Call(browser.get(), L"ChromeCheck", {Str(L"42")}, ret.get()));
    EXPECT_EQ(VT_I4, V_VT(ret.get()));
    UINT argErr = 99;
    EXPECT_HR(DISP_E_TYPEMISMATCH, harness::Call(browser.get(), L"ChromeCheck", {Str(L"abc")}, nullptr,
                                                 DISPATCH_METHOD, &argErr));
    EXPECT_EQ(0u, argErr);
    EXPECT_EQ((std::vector<std::string>{"call record=42 reasons=0x8000ffff"}), browserLib.Calls());
}

TEST(ProbeDispatch, ShouldOfferArgumentTypes) {
    VendorStandIn toolbarLib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    auto toolbar = harness::Create(kToolbar);
    ASSERT_TRUE(toolbar);
    LONG reason = 7;
    UINT argErr = 99;
    EXPECT_HR(DISP_E_TYPEMISMATCH, harness::Call(toolbar.get(), L"shouldOffer", {Str(L"abc"), RefI4(&reason)},
                                                 nullptr, DISPATCH_METHOD, &argErr));
    EXPECT_EQ(1u, argErr);
    EXPECT_EQ(7, reason);
    // reason must come by reference: a value, a string reference or an unconvertible
    // referenced variant is refused with the index of the last argument.
    common::Bstr text(L"x");
    BSTR raw = text.get();
    common::Variant word(L"abc");
    std::vector<std::vector<VARIANT>> refused;
    refused.push_back({I4(1), I4(7)});
    refused.push_back({I4(1), harness::Ref(&raw)});
    refused.push_back({I4(1), harness::RefVar(word.get())});
    refused.push_back({I4(1), RefI4(nullptr)});
    for (auto& args : refused) {
        argErr = 99;
        EXPECT_HR(DISP_E_TYPEMISMATCH,
                  harness::Call(toolbar.get(), L"shouldOffer", args, nullptr, DISPATCH_METHOD, &argErr));
        EXPECT_EQ(0u, argErr);
    }
    EXPECT_TRUE(toolbarLib.Calls().empty()) << "no refused call reaches the library";
    // A referenced variant that converts in place takes the answer as a 32-bit integer.
    toolbarLib.Answer(0, 0x9);
    common::Variant convertible(L"5");
    ASSERT_HR(S_OK, harness::Call(toolbar.get(), L"shouldOffer", {Str(L"8"), harness::RefVar(convertible.get())}));
    EXPECT_EQ(VT_I4, V_VT(convertible.get()));
    EXPECT_EQ(0x9, V_I4(convertible.get()));
    ASSERT_EQ(1u, toolbarLib.Calls().size());
    EXPECT_EQ(0u, toolbarLib.Calls()[0].find("call record=8 "));
}
