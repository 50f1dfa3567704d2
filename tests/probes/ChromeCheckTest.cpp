// ChromeCheck late-bound by ProgID, with the vendor library's answer chosen by the test.
#include <gtest/gtest.h>

#include "Harness.h"
#include "VendorStandIn.h"
#include "browserprobe.h"

using harness::I4;

namespace {

const wchar_t kProgId[] = L"browserprobe.ChromeCompatibilityChecker";

struct Check {
    HRESULT hr;
    LONG ret;
};

Check ChromeCheck(IDispatch* obj, LONG record) {
    common::Variant ret;
    Check c{harness::Call(obj, L"ChromeCheck", {I4(record)}, ret.get()), 0};
    EXPECT_EQ(VT_I4, V_VT(ret.get()));
    c.ret = V_I4(ret.get());
    return c;
}

}  // namespace

TEST(ChromeCheck, OfferAllowedGivesZeroWhateverTheReasonsWordHolds) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    for (DWORD answer : {1u, 0x80000000u}) {
        lib.Answer(answer, 0x12);
        Check c = ChromeCheck(obj.get(), 5);
        EXPECT_HR(S_OK, c.hr);
        EXPECT_EQ(0, c.ret);
    }
    lib.Answer(1);
    EXPECT_EQ(0, ChromeCheck(obj.get(), 5).ret);
    // The record goes through unchanged; the reasons word starts as 0x8000FFFF.
    EXPECT_EQ((std::vector<std::string>{"call record=5 reasons=0x8000ffff", "call record=5 reasons=0x8000ffff",
                                        "call record=5 reasons=0x8000ffff"}),
              lib.Calls());
}

TEST(ChromeCheck, OfferRefusedGivesTheLibrarysReasons) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    lib.Answer(0, 0x12);
    Check c = ChromeCheck(obj.get(), -1);
    EXPECT_HR(S_OK, c.hr);
    EXPECT_EQ(0x12, c.ret);
    // A refusal that leaves the word alone reports the untouched starting value.
    lib.Answer(0);
    c = ChromeCheck(obj.get(), 0x7FFFFFFF);
    EXPECT_HR(S_OK, c.hr);
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), c.ret);
    EXPECT_EQ((std::vector<std::string>{"call record=-1 reasons=0x8000ffff",
                                        "call record=2147483647 reasons=0x8000ffff"}),
              lib.Calls());
}

TEST(ChromeCheck, LibraryIsLoadedForEachCallAndUnloadedBeforeItReturns) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    EXPECT_TRUE(lib.Log().empty()) << "nothing is loaded at creation";
    for (int i = 0; i < 3; ++i) {
        lib.Answer(i % 2, 0x40);
        ChromeCheck(obj.get(), i);
        EXPECT_FALSE(lib.Loaded()) << "after call " << i;
    }
    EXPECT_EQ((std::vector<std::string>{"load", "call record=0 reasons=0x8000ffff", "unload", "load",
                                        "call record=1 reasons=0x8000ffff", "unload", "load",
                                        "call record=2 reasons=0x8000ffff", "unload"}),
              lib.Log());
}

TEST(ChromeCheck, MissingLibraryGivesUnexpectedAndTheLoadError) {
    VendorStandIn none(nullptr, L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    Check c = ChromeCheck(obj.get(), 1);
    EXPECT_HR(ERROR_MOD_NOT_FOUND, c.hr) << "the load error as it is, a code scripts take for success";
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), c.ret);
}

TEST(ChromeCheck, LibraryWithoutTheEntryPointGivesUnexpected) {
    // The toolbar vendor's stand-in has no GoogleChromeCompatibilityCheck.
    VendorStandIn lib(L"gtapi_standin.dll", L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    Check c = ChromeCheck(obj.get(), 1);
    EXPECT_HR(S_OK, c.hr);
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), c.ret);
    EXPECT_EQ((std::vector<std::string>{"load", "unload"}), lib.Log());
    EXPECT_FALSE(lib.Loaded());
}

TEST(ChromeCheck, EarlyBoundCallWithoutResultPointerIsRefused) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    common::ComPtr<IChromeCompatibilityChecker> checker;
    ASSERT_HR(S_OK, obj->QueryInterface(IID_IChromeCompatibilityChecker, checker.put_void()));
    EXPECT_HR(E_POINTER, checker->ChromeCheck(1, nullptr));
    LONG ret = 99;
    lib.Answer(0, 0x3);
    EXPECT_HR(S_OK, checker->ChromeCheck(9, &ret));
    EXPECT_EQ(3, ret);
    EXPECT_EQ((std::vector<std::string>{"call record=9 reasons=0x8000ffff"}), lib.Calls());
}
