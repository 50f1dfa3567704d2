// The page-state mailbox through late binding, as pages and the engine's script use it.
#include <gtest/gtest.h>

#include "Harness.h"

using harness::Bool;
using harness::Call;
using harness::CallOk;
using harness::I4;
using harness::Str;

TEST(SlideState, FlagsQueryActionAndReset) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    ASSERT_TRUE(s);
    CallOk(s.get(), L"Reset");
    auto none = CallOk(s.get(), L"QueryAction");
    EXPECT_EQ(VT_BSTR, none.vt());
    EXPECT_EQ(nullptr, V_BSTR(none.get())) << "no action: a null string";
    CallOk(s.get(), L"Previous");
    EXPECT_EQ(L"previous", harness::AsString(*CallOk(s.get(), L"QueryAction").get()));
    CallOk(s.get(), L"ExitWithCode", {I4(7)});
    EXPECT_EQ(L"next", harness::AsString(*CallOk(s.get(), L"queryaction").get()));
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"Quit").get()));
    EXPECT_EQ(7, harness::AsLong(*CallOk(s.get(), L"ExitCode").get()));
    CallOk(s.get(), L"Reset");
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"Quit").get()));
    EXPECT_EQ(7, harness::AsLong(*CallOk(s.get(), L"ExitCode").get())) << "the code is not cleared";
}

TEST(SlideState, PollsHandOutAndClear) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    CallOk(s.get(), L"message", {Str(L"hello")});
    CallOk(s.get(), L"QueueTop", {Str(L"item 3")});
    CallOk(s.get(), L"QueuePause", {Str(L"ignored")});
    CallOk(s.get(), L"JSLoadComplete");
    EXPECT_EQ(L"hello", harness::AsString(*CallOk(s.get(), L"PollMessage").get()));
    EXPECT_EQ(L"", harness::AsString(*CallOk(s.get(), L"PollMessage").get()));
    EXPECT_EQ(L"item 3", harness::AsString(*CallOk(s.get(), L"PollQueueTop").get()));
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"PollQueuePause").get()));
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"PollQueuePause").get()));
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"PollJSLoadComplete").get()));
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"PollJSLoadComplete").get()));
}

TEST(SlideState, TagsAndInstallPath) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"TagRemoved", {Str(L"never")}).get()));
    CallOk(s.get(), L"AddTag", {Str(L"dx")});
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"TagRemoved", {Str(L"dx")}).get()));
    CallOk(s.get(), L"RemoveTag", {Str(L"dx")});
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"TagRemoved", {Str(L"dx")}).get()));
    CallOk(s.get(), L"RemoveTag", {Str(L"new")});
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"TagRemoved", {Str(L"new")}).get()));

    ASSERT_HR(S_OK, harness::Put(s.get(), L"InstallPath", Str(L"C:\\Games\\Title")));
    common::Variant path;
    ASSERT_HR(S_OK, harness::Get(s.get(), L"InstallPath", path.get()));
    EXPECT_EQ(L"C:\\Games\\Title", harness::AsString(*path.get()));
    EXPECT_EQ(L"C:\\Games\\Title", harness::AsString(*CallOk(s.get(), L"InstallPathLuaCompatible").get()));
}

TEST(SlideState, InvokeChecksArguments) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Call(s.get(), L"Next", {I4(1)}));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Call(s.get(), L"AddTag", {Str(L"a"), Str(L"b"), Str(L"c")}));
    UINT argErr = 99;
    IDispatch* none = nullptr;
    VARIANT obj;
    ::VariantInit(&obj);
    V_VT(&obj) = VT_DISPATCH;
    V_DISPATCH(&obj) = none;
    EXPECT_HR(DISP_E_TYPEMISMATCH, Call(s.get(), L"ExitWithCode", {obj}, nullptr, DISPATCH_METHOD, &argErr));
    EXPECT_EQ(0u, argErr);
    DISPPARAMS dp = {nullptr, nullptr, 0, 0};
    VARIANT r;
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, s->Invoke(27, IID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr));
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, s->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr));
    EXPECT_HR(DISP_E_BADVARTYPE, s->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, &r, nullptr, nullptr));
    EXPECT_TRUE(SUCCEEDED(Call(s.get(), L"Exit", {}, nullptr, DISPATCH_PROPERTYGET))) << "flags ignored but for 5";
}
