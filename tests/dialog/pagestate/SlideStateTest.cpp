// The page-state mailbox through late binding, as pages and the engine's script use it.
#include <gtest/gtest.h>

#include "EventSink.h"
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

TEST(SlideState, EdgeCasesOfActionsMessagesAndTags) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    CallOk(s.get(), L"Exit");
    EXPECT_EQ(L"next", harness::AsString(*CallOk(s.get(), L"QueryAction").get()));
    EXPECT_TRUE(harness::AsBool(*CallOk(s.get(), L"Quit").get()));
    CallOk(s.get(), L"Reset");
    EXPECT_EQ(nullptr, V_BSTR(CallOk(s.get(), L"QueryAction").get()));
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"Quit").get()));
    CallOk(s.get(), L"Previous");
    CallOk(s.get(), L"Next");
    EXPECT_EQ(L"next", harness::AsString(*CallOk(s.get(), L"QueryAction").get())) << "next wins over previous";

    // Arguments of other types are converted: a number becomes text, a text a number.
    CallOk(s.get(), L"MESSAGE", {I4(42)});
    EXPECT_EQ(L"42", harness::AsString(*CallOk(s.get(), L"PollMessage").get()));
    EXPECT_EQ(nullptr, V_BSTR(CallOk(s.get(), L"PollMessage").get())) << "consumed";
    CallOk(s.get(), L"ExitWithCode", {Str(L"12")});
    EXPECT_EQ(12, harness::AsLong(*CallOk(s.get(), L"ExitCode").get()));

    CallOk(s.get(), L"AddTag", {Str(L"t")});
    CallOk(s.get(), L"RemoveTag", {Str(L"t")});
    CallOk(s.get(), L"AddTag", {Str(L"t")});
    EXPECT_FALSE(harness::AsBool(*CallOk(s.get(), L"TagRemoved", {Str(L"t")}).get())) << "added again";
}

TEST(SlideState, NamesInAnyCaseAndThePropertyForms) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"put_InstallPath"), const_cast<LPOLESTR>(L"mEsSaGe"),
                        const_cast<LPOLESTR>(L"GET_INSTALLPATHLUACOMPATIBLE"), const_cast<LPOLESTR>(L"Nope"),
                        const_cast<LPOLESTR>(L"Next")};
    DISPID ids[5] = {-7, -7, -7, -7, -7};
    EXPECT_HR(DISP_E_UNKNOWNNAME, s->GetIDsOfNames(IID_NULL, names, 5, 0, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(20, ids[1]);
    EXPECT_EQ(26, ids[2]);
    EXPECT_EQ(-7, ids[3]) << "the unknown name's slot is left alone";
    EXPECT_EQ(-7, ids[4]) << "and so are the later ones";

    ASSERT_HR(S_OK, harness::Put(s.get(), L"put_InstallPath", Str(L"D:\\Play")));
    common::Variant path;
    ASSERT_HR(S_OK, harness::Get(s.get(), L"get_installpath", path.get()));
    EXPECT_EQ(L"D:\\Play", harness::AsString(*path.get()));
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, Call(s.get(), L"InstallPath", {}, nullptr, DISPATCH_METHOD))
        << "neither a read nor a write";
    EXPECT_HR(DISP_E_BADPARAMCOUNT, Call(s.get(), L"InstallPath", {Str(L"x")}, nullptr, DISPATCH_PROPERTYGET));
}

TEST(SlideState, ProcessTakesObjectsOnlyAndPollProcessSkipsRecordsWithoutPairs) {
    auto s = harness::Create(L"DOZUvidaruve.StateCtrl");
    pagestate_test::EventSink sink;
    ASSERT_TRUE(sink.Connect(s.get()));
    const DISPID kOnProcess = 3;

    EXPECT_HR(E_INVALIDARG, Call(s.get(), L"Process", {Str(L"text")}));
    EXPECT_HR(E_INVALIDARG, Call(s.get(), L"Process", {I4(3)}));
    VARIANT none;
    ::VariantInit(&none);
    V_VT(&none) = VT_DISPATCH;
    V_DISPATCH(&none) = nullptr;
    EXPECT_HR(E_INVALIDARG, Call(s.get(), L"Process", {none}));
    common::Variant text(L"by reference");
    EXPECT_HR(E_INVALIDARG, Call(s.get(), L"Process", {harness::RefVar(text.get())}));
    // The failure reaches a caller's exception record.
    DISPID id = harness::DispId(s.get(), L"Process");
    VARIANT arg = Str(L"text");
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXCEPINFO excep = {};
    EXPECT_HR(E_INVALIDARG, s->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, nullptr));
    EXPECT_HR(E_INVALIDARG, excep.scode);
    ::VariantClear(&arg);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    EXPECT_EQ(0, sink.Count(kOnProcess)) << "nothing refused fires the event";
    EXPECT_EQ(VT_EMPTY, CallOk(s.get(), L"PollProcess").vt());

    // An object reached through a variant reference is taken: the page-state object's
    // own type information has methods but no properties, so the record has no pairs.
    common::Variant self;
    V_VT(self.get()) = VT_DISPATCH;
    V_DISPATCH(self.get()) = s.get();
    s->AddRef();
    CallOk(s.get(), L"Process", {harness::RefVar(self.get())});
    EXPECT_EQ(1, sink.Count(kOnProcess));
    EXPECT_EQ(::GetCurrentThreadId(), sink.LastThread(kOnProcess));
    EXPECT_EQ(VT_EMPTY, CallOk(s.get(), L"PollProcess").vt()) << "a record without pairs gives nothing";
    EXPECT_EQ(VT_EMPTY, CallOk(s.get(), L"PollProcess").vt()) << "and is gone";
    sink.Disconnect();
}
