// shouldOffer late-bound by ProgID, with the vendor library's answer chosen by the test.
#include <gtest/gtest.h>

#include "Harness.h"
#include "InvokeHelpers.h"
#include "VendorStandIn.h"
#include "toolbarprobe.h"

using harness::I4;

namespace {

const wchar_t kProgId[] = L"toolbarprobe.gtb";

// shouldOffer(record, reason) with reason as VT_BYREF | VT_I4; returns the HRESULT.
HRESULT ShouldOffer(IDispatch* obj, LONG record, LONG* reason) {
    return harness::Call(obj, L"shouldOffer", {I4(record), RefI4(reason)});
}

}  // namespace

TEST(ShouldOffer, ReasonComesBackAsZeroOrTheLibrarysReasonsNeverAsPassedIn) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    LONG reason = 7;
    lib.Answer(1, 0x12);
    EXPECT_HR(S_OK, ShouldOffer(obj.get(), 3, &reason));
    EXPECT_EQ(0, reason);
    reason = 7;
    lib.Answer(0, 0x12);
    EXPECT_HR(S_OK, ShouldOffer(obj.get(), 4, &reason));
    EXPECT_EQ(0x12, reason);
    reason = 7;
    lib.Answer(0);
    EXPECT_HR(S_OK, ShouldOffer(obj.get(), 5, &reason));
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), reason);
    // The library sees the record unchanged, HKEY_CURRENT_USER and the starting word, never the 7.
    EXPECT_EQ((std::vector<std::string>{"call record=3 key=0x80000001 reasons=0x8000ffff",
                                        "call record=4 key=0x80000001 reasons=0x8000ffff",
                                        "call record=5 key=0x80000001 reasons=0x8000ffff"}),
              lib.Calls());
}

TEST(ShouldOffer, ReasonByReferenceToAVariantOrToAnInteger) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    lib.Answer(0, 0x30);
    common::Variant held(7);
    ASSERT_HR(S_OK, harness::Call(obj.get(), L"shouldOffer", {I4(1), harness::RefVar(held.get())}));
    EXPECT_EQ(VT_I4, V_VT(held.get()));
    EXPECT_EQ(0x30, V_I4(held.get()));
    LONG plain = 7;
    ASSERT_HR(S_OK, ShouldOffer(obj.get(), 2, &plain));
    EXPECT_EQ(0x30, plain);
    // Also when the script's variable holds another numeric type: converted in place.
    common::Variant shortValue;
    V_VT(shortValue.get()) = VT_I2;
    V_I2(shortValue.get()) = 7;
    lib.Answer(1);
    ASSERT_HR(S_OK, harness::Call(obj.get(), L"shouldOffer", {I4(3), harness::RefVar(shortValue.get())}));
    EXPECT_EQ(VT_I4, V_VT(shortValue.get()));
    EXPECT_EQ(0, V_I4(shortValue.get()));
    EXPECT_EQ(3u, lib.Calls().size());
}

TEST(ShouldOffer, MissingLibraryGivesUnexpectedAndTheLoadError) {
    VendorStandIn none(nullptr, L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    LONG reason = 7;
    EXPECT_HR(ERROR_MOD_NOT_FOUND, ShouldOffer(obj.get(), 1, &reason));
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), reason);
}

TEST(ShouldOffer, LibraryWithoutTheEntryPointGivesUnexpected) {
    // The browser vendor's stand-in has no ToolbarCompatibilityCheck.
    VendorStandIn lib(L"gcapi_standin.dll", L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    LONG reason = 7;
    EXPECT_HR(S_OK, ShouldOffer(obj.get(), 1, &reason));
    EXPECT_EQ(static_cast<LONG>(0x8000FFFF), reason);
    EXPECT_EQ((std::vector<std::string>{"load", "unload"}), lib.Log());
}

TEST(ShouldOffer, LibraryIsLoadedForEachCallAndUnloadedBeforeItReturns) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    LONG reason = 0;
    for (int i = 0; i < 2; ++i) {
        lib.Answer(i, 0x5);
        ShouldOffer(obj.get(), i, &reason);
        EXPECT_FALSE(lib.Loaded()) << "after call " << i;
    }
    EXPECT_EQ((std::vector<std::string>{"load", "call record=0 key=0x80000001 reasons=0x8000ffff", "unload", "load",
                                        "call record=1 key=0x80000001 reasons=0x8000ffff", "unload"}),
              lib.Log());
}

TEST(ShouldOffer, EarlyBoundCallWithoutReasonPointerIsRefused) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    auto obj = harness::Create(kProgId);
    ASSERT_TRUE(obj);
    common::ComPtr<Igtb> gtb;
    ASSERT_HR(S_OK, obj->QueryInterface(IID_Igtb, gtb.put_void()));
    EXPECT_HR(E_POINTER, gtb->shouldOffer(1, nullptr));
    EXPECT_TRUE(lib.Log().empty());
}
