// The browser host's objects as a browser meets them: one identity and count for all
// five, the security decisions, the UI handler's answers and the window.external
// bridge's names, errors and debug output.
#include <gtest/gtest.h>

#include <windows.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include "Harness.h"
#include "TestOwner.h"
#include "dialog/browser/BrowserHost.h"

namespace {

using browsertest::TestOwner;

template <class Itf>
common::ComPtr<Itf> Query(IUnknown* from, HRESULT* hr = nullptr) {
    common::ComPtr<Itf> out;
    HRESULT r = from->QueryInterface(__uuidof(Itf), out.put_void());
    if (hr) *hr = r;
    return out;
}

// The identity an interface pointer reports for IUnknown (and gives back at once).
IUnknown* IdentityOf(IUnknown* object) {
    IUnknown* unknown = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)))) return nullptr;
    unknown->Release();
    return unknown;
}

TEST(BrowserHostObjects, OneIdentityOneCountAndTheOwnerToldAtTheLastRelease) {
    TestOwner owner;
    stagehand::BrowserHost host(owner);
    IUnknown* identity = host.Identity();
    ASSERT_TRUE(identity);

    // Counting starts at 0: the first reference makes it 1.
    EXPECT_EQ(1u, identity->AddRef());
    {
        HRESULT hr = E_FAIL;
        auto site = Query<IOleClientSite>(identity, &hr);
        EXPECT_HR(S_OK, hr);
        auto services = Query<IServiceProvider>(site.get(), &hr);
        EXPECT_HR(S_OK, hr) << "every host object answers for all the others";
        auto security = Query<IInternetSecurityManager>(services.get(), &hr);
        EXPECT_HR(S_OK, hr);
        auto ui = Query<IDocHostUIHandler>(security.get(), &hr);
        EXPECT_HR(S_OK, hr);
        auto bridge = Query<IDispatch>(ui.get(), &hr);
        EXPECT_HR(S_OK, hr) << "the UI handler hands out the bridge for IDispatch";
        for (IUnknown* object : {static_cast<IUnknown*>(site.get()), static_cast<IUnknown*>(services.get()),
                                 static_cast<IUnknown*>(security.get()), static_cast<IUnknown*>(ui.get()),
                                 static_cast<IUnknown*>(bridge.get())})
            EXPECT_EQ(identity, IdentityOf(object));
        // Six references now: the test's own and the five objects'.
        EXPECT_EQ(7u, identity->AddRef());
        EXPECT_EQ(6u, identity->Release());

        auto none = Query<IOleInPlaceSite>(identity, &hr);
        EXPECT_HR(E_NOINTERFACE, hr);
        EXPECT_FALSE(none);
        EXPECT_HR(E_INVALIDARG, identity->QueryInterface(IID_IUnknown, nullptr));
        EXPECT_EQ(0, owner.released.load());
    }
    EXPECT_EQ(0, owner.released.load()) << "the test's reference still keeps the window";
    EXPECT_EQ(0u, identity->Release());
    EXPECT_EQ(1, owner.released.load()) << "the last release tells the owner once";
}

TEST(BrowserHostObjects, SecurityManagerAllowsItsFamiliesAndLeavesTheRestToZones) {
    TestOwner owner;
    stagehand::BrowserHost host(owner);
    common::ComPtr<IServiceProvider> services = Query<IServiceProvider>(host.Identity());
    ASSERT_TRUE(services);

    common::ComPtr<IInternetSecurityManager> security;
    EXPECT_HR(S_OK, services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                           security.put_void()));
    ASSERT_TRUE(security);
    common::ComPtr<IUnknown> other;
    EXPECT_HR(E_NOINTERFACE, services->QueryService(SID_SInternetSecurityManager, IID_IUnknown, other.put_void()));
    EXPECT_FALSE(other);
    EXPECT_HR(E_NOINTERFACE, services->QueryService(IID_IUnknown, IID_IInternetSecurityManager, other.put_void()));
    EXPECT_FALSE(other);

    const struct {
        DWORD action;
        bool host;
    } cases[] = {
        {0x11FF, false}, {0x1200, true}, {0x13FF, true}, {0x1400, true},  {0x15FF, true},
        {0x1600, true},  {0x17FF, true}, {0x1800, false}, {0x1BFF, false}, {0x1C00, true},
        {0x1CFF, true},  {0x1D00, false}, {0x2102, false}, {0x2103, true}, {0x2104, false},
    };
    for (const auto& c : cases) {
        DWORD policy = 0xDEADBEEF;
        HRESULT hr = security->ProcessUrlAction(L"file:///C:/page.html", c.action, reinterpret_cast<BYTE*>(&policy),
                                                sizeof policy, nullptr, 0, 0, 0);
        if (c.host) {
            EXPECT_HR(S_OK, hr) << std::hex << c.action;
            EXPECT_EQ(static_cast<DWORD>(URLPOLICY_ALLOW), policy) << std::hex << c.action;
        } else {
            EXPECT_HR(INET_E_DEFAULT_ACTION, hr) << std::hex << c.action;
            EXPECT_EQ(0xDEADBEEFu, policy) << std::hex << c.action;
        }
    }
    // A policy buffer smaller than a DWORD, or none, gets nothing written.
    BYTE small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_HR(S_FALSE, security->ProcessUrlAction(L"x", 0x1400, small, 3, nullptr, 0, 0, 0));
    EXPECT_EQ(0xAA, small[0]);
    EXPECT_EQ(0xAA, small[2]);
    EXPECT_HR(S_FALSE, security->ProcessUrlAction(L"x", 0x1400, nullptr, 4, nullptr, 0, 0, 0));

    DWORD zone = 7;
    EXPECT_HR(INET_E_DEFAULT_ACTION, security->MapUrlToZone(L"x", &zone, 0));
    EXPECT_HR(INET_E_DEFAULT_ACTION, security->SetSecuritySite(nullptr));
    EXPECT_HR(INET_E_DEFAULT_ACTION, security->SetZoneMapping(0, L"x", 0));
}

TEST(BrowserHostObjects, UiHandlerAnswersAndTheBridgeNamesErrorsAndUnhandledCalls) {
    TestOwner owner;
    stagehand::BrowserHost host(owner);
    common::ComPtr<IDocHostUIHandler> ui = Query<IDocHostUIHandler>(host.Identity());
    ASSERT_TRUE(ui);

    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    info.dwFlags = 0xFFFF;
    EXPECT_HR(S_OK, ui->GetHostInfo(&info));
    EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER), info.dwFlags) << "the flags are replaced, not added to";
    EXPECT_HR(S_FALSE, ui->ShowContextMenu(0, nullptr, nullptr, nullptr));
    EXPECT_HR(S_FALSE, ui->TranslateAccelerator(nullptr, nullptr, 0));
    EXPECT_HR(E_NOTIMPL, ui->EnableModeless(TRUE));

    // window.external: an object the page can call as it is, without asking it for
    // IDispatch first.
    common::ComPtr<IDispatch> external;
    EXPECT_HR(S_OK, ui->GetExternal(external.put()));
    ASSERT_TRUE(external);
    EXPECT_EQ(Query<IDispatch>(host.Identity()).get(), external.get());

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"showoffer"), const_cast<LPOLESTR>(L"nosuchname"),
                        const_cast<LPOLESTR>(L"CheckOffer")};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_HR(DISP_E_UNKNOWNNAME, external->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1101, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
    EXPECT_EQ(1103, ids[2]) << "names after an unknown one are still resolved";
    LPOLESTR known[] = {const_cast<LPOLESTR>(L"CHECKCONNECTION"), const_cast<LPOLESTR>(L"hideOffer")};
    EXPECT_HR(S_OK, external->GetIDsOfNames(IID_NULL, known, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1100, ids[0]);
    EXPECT_EQ(1102, ids[1]);

    // checkconnection: no argument, a number, a string.
    EXPECT_HR(DISP_E_BADPARAMCOUNT, harness::Call(external.get(), L"checkconnection", {}));
    EXPECT_HR(DISP_E_BADVARTYPE, harness::Call(external.get(), L"checkconnection", {harness::I4(1)}));
    common::Variant yes;
    EXPECT_HR(S_OK, harness::Call(external.get(), L"checkconnection", {harness::Str(L"")}, yes.get()));
    EXPECT_EQ(VT_BOOL, yes.vt());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(yes.get()));

    // hideoffer and checkoffer go to the offer; checkoffer is true only above 0.
    EXPECT_HR(S_OK, harness::Call(external.get(), L"hideoffer", {}));
    EXPECT_EQ(1, owner.hidden.load());
    for (int answer : {1, 0, -1}) {
        owner.checkAnswer = answer;
        common::Variant result;
        EXPECT_HR(S_OK, harness::Call(external.get(), L"checkoffer", {}, result.get()));
        EXPECT_EQ(VT_BOOL, result.vt());
        EXPECT_EQ(answer > 0 ? VARIANT_TRUE : VARIANT_FALSE, V_BOOL(result.get())) << answer;
    }

    // Property reads and unknown members: one debug line each, DISP_E_UNKNOWNLCID.
    harness::DebugCapture capture;
    DISPPARAMS none{};
    common::Variant ignored;
    EXPECT_HR(DISP_E_UNKNOWNLCID, external->Invoke(1100, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                                   ignored.put(), nullptr, nullptr));
    EXPECT_HR(DISP_E_UNKNOWNLCID, external->Invoke(-5512, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                                   ignored.put(), nullptr, nullptr));
    EXPECT_HR(DISP_E_UNKNOWNLCID, external->Invoke(1104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                   ignored.put(), nullptr, nullptr));
    EXPECT_TRUE(capture.WaitFor("dispIdMember 0x450 not handled \n")) << capture.Text();
    EXPECT_NE(std::string::npos, capture.Text().find("dispIdMember 0x44c not handled \n")) << capture.Text();
    EXPECT_NE(std::string::npos, capture.Text().find("dispIdMember 0xffffea78 not handled \n")) << capture.Text();
    EXPECT_EQ(1, owner.hidden.load());
}

}  // namespace
