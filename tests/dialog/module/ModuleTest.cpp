// stagehand's class factories and module lock, through COM as the engine uses them.
#include <gtest/gtest.h>

#include <vector>

#include "Harness.h"
#include "stagehand.h"

#include <olectl.h>

using common::ComPtr;
using harness::Create;

namespace {

ComPtr<IUnknown> Identity(IDispatch* d) {
    ComPtr<IUnknown> u;
    EXPECT_HR(S_OK, d->QueryInterface(IID_IUnknown, u.put_void()));
    return u;
}

struct RaceArgs {
    const wchar_t* progId;
    HANDLE start;
    IUnknown* got;
};

DWORD WINAPI CreateInThread(void* p) {
    auto* a = static_cast<RaceArgs*>(p);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ::WaitForSingleObject(a->start, 10000);
    CLSID clsid;
    IUnknown* u = nullptr;
    if (SUCCEEDED(::CLSIDFromProgID(a->progId, &clsid)))
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&u));
    a->got = u;
    ::CoUninitialize();
    return 0;
}

// stagehand.dll as loaded by this process (COM loaded it for the first creation).
HMODULE Stagehand() {
    HRESULT hr;
    ComPtr<IDispatch> keepLoaded = Create(L"PebbleUtil.ShellCtl", &hr);
    return ::GetModuleHandleW(L"stagehand.dll");
}

}  // namespace

TEST(Singletons, SameObjectForEveryCreation) {
    for (const wchar_t* progId : {L"Stagehand.InstallDlgCtl", L"DOZUvidaruve.StateCtrl", L"PebbleUtil.UnRar"}) {
        SCOPED_TRACE(harness::Narrow(progId));
        auto a = Create(progId);
        auto b = Create(progId);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(Identity(a.get()).get(), Identity(b.get()).get());
    }
    auto versioned = Create(L"DOZUvidaruve.StateCtrl.1");
    auto plain = Create(L"DOZUvidaruve.StateCtrl");
    EXPECT_EQ(Identity(versioned.get()).get(), Identity(plain.get()).get());
}

TEST(Singletons, NotRegisteredUnderAVersionedInstallDlgProgId) {
    CLSID clsid;
    EXPECT_FALSE(SUCCEEDED(::CLSIDFromProgID(L"Stagehand.InstallDlgCtl.1", &clsid)));
}

TEST(Singletons, RacingFirstCreationsGiveOneObject) {
    // Separate process state: the first creation of the singleton happens in this race.
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<RaceArgs> args(8, RaceArgs{L"PebbleUtil.UnRar", start, nullptr});
    std::vector<HANDLE> threads;
    for (auto& a : args) threads.push_back(::CreateThread(nullptr, 0, CreateInThread, &a, 0, nullptr));
    ::Sleep(100);
    ::SetEvent(start);
    ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 20000);
    for (HANDLE t : threads) ::CloseHandle(t);
    ::CloseHandle(start);
    ASSERT_NE(nullptr, args[0].got);
    for (auto& a : args) {
        EXPECT_EQ(args[0].got, a.got);
        if (a.got) a.got->Release();
    }
}

TEST(Factories, PerRequestClassesGiveNewObjects) {
    for (const wchar_t* progId : {L"PebbleUtil.ShellCtl", L"PebbleUtil.ProcessMgr", L"PebbleUtil.RegAccess",
                                  L"PebbleUtil.CookieCtl"}) {
        SCOPED_TRACE(harness::Narrow(progId));
        auto a = Create(progId);
        auto b = Create(progId);
        ASSERT_TRUE(a && b);
        EXPECT_NE(Identity(a.get()).get(), Identity(b.get()).get());
    }
}

TEST(Factories, AggregationRefusedAndUnknownClassRejected) {
    HMODULE dll = Stagehand();
    ASSERT_NE(nullptr, dll);
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(::GetProcAddress(dll, "DllGetClassObject"));
    ASSERT_NE(nullptr, getClassObject);
    const CLSID* all[] = {&CLSID_CInstallDlgCtl, &CLSID_CSlideState, &CLSID_CProcessMgr, &CLSID_CShellCtl,
                          &CLSID_CRegAccess,     &CLSID_CUnRar,      &CLSID_CCookieCtl};
    auto outer = Create(L"PebbleUtil.ShellCtl");
    for (const CLSID* clsid : all) {
        ComPtr<IClassFactory> factory;
        ASSERT_HR(S_OK, getClassObject(*clsid, IID_IClassFactory, factory.put_void()));
        ComPtr<IUnknown> inner;
        EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.get(), IID_IUnknown, inner.put_void()));
        EXPECT_FALSE(inner);
    }
    ComPtr<IClassFactory> none;
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDispatch, IID_IClassFactory, none.put_void()));
}

TEST(Factories, InterfacesAnsweredPerClass) {
    struct Row {
        const wchar_t* progId;
        const IID* own;
        bool events;
    } rows[] = {
        {L"Stagehand.InstallDlgCtl", &IID_IInstallDlgCtl, false}, {L"DOZUvidaruve.StateCtrl", &IID_ISlideState, true},
        {L"PebbleUtil.ProcessMgr", &IID_IProcessMgr, true},       {L"PebbleUtil.ShellCtl", &IID_IShellCtl, false},
        {L"PebbleUtil.RegAccess", &IID_IRegAccess, false},        {L"PebbleUtil.UnRar", &IID_IUnRar, true},
        {L"PebbleUtil.CookieCtl", &IID_ICookieCtl, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(harness::Narrow(r.progId));
        auto obj = Create(r.progId);
        ASSERT_TRUE(obj);
        ComPtr<IUnknown> p;
        EXPECT_HR(S_OK, obj->QueryInterface(*r.own, p.put_void()));
        EXPECT_HR(S_OK, obj->QueryInterface(IID_IProvideClassInfo, p.put_void()));
        EXPECT_HR(r.events ? S_OK : E_NOINTERFACE, obj->QueryInterface(IID_IProvideClassInfo2, p.put_void()));
        EXPECT_HR(r.events ? S_OK : E_NOINTERFACE, obj->QueryInterface(IID_IConnectionPointContainer, p.put_void()));
        EXPECT_HR(E_NOINTERFACE, obj->QueryInterface(IID_IPersist, p.put_void()));
    }
}

TEST(Factories, ConnectionPointsAndClassInfo) {
    struct Row {
        const wchar_t* progId;
        const IID* events;
        const CLSID* clsid;
    } rows[] = {{L"DOZUvidaruve.StateCtrl", &DIID__ISlideStateEvents, &CLSID_CSlideState},
                {L"PebbleUtil.ProcessMgr", &DIID__IProcessMgrEvents, &CLSID_CProcessMgr},
                {L"PebbleUtil.UnRar", &DIID__IUnRarEvents, &CLSID_CUnRar}};
    for (const auto& r : rows) {
        SCOPED_TRACE(harness::Narrow(r.progId));
        auto obj = Create(r.progId);
        ComPtr<IProvideClassInfo2> info;
        ASSERT_HR(S_OK, obj->QueryInterface(IID_IProvideClassInfo2, info.put_void()));
        GUID source;
        ASSERT_HR(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
        EXPECT_TRUE(IsEqualGUID(*r.events, source));
        ComPtr<ITypeInfo> coclass;
        ASSERT_HR(S_OK, info->GetClassInfo(coclass.put()));
        TYPEATTR* attr = nullptr;
        ASSERT_HR(S_OK, coclass->GetTypeAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(*r.clsid, attr->guid));
        EXPECT_EQ(TKIND_COCLASS, attr->typekind);
        coclass->ReleaseTypeAttr(attr);

        ComPtr<IConnectionPointContainer> cpc;
        ASSERT_HR(S_OK, obj->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()));
        ComPtr<IConnectionPoint> cp;
        EXPECT_HR(S_OK, cpc->FindConnectionPoint(*r.events, cp.put()));
        EXPECT_HR(S_OK, cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.put()));
        EXPECT_HR(CONNECT_E_NOCONNECTION, cpc->FindConnectionPoint(IID_IDispatch, cp.put()));
        ComPtr<IEnumConnectionPoints> en;
        ASSERT_HR(S_OK, cpc->EnumConnectionPoints(en.put()));
        IConnectionPoint* got[3] = {};
        ULONG n = 0;
        EXPECT_HR(S_FALSE, en->Next(3, got, &n));
        EXPECT_EQ(2u, n);
        for (ULONG i = 0; i < n; ++i) got[i]->Release();
    }
}

TEST(Module, CanUnloadOnlyWithoutClientReferencesOrLocks) {
    HMODULE dll = Stagehand();
    ASSERT_NE(nullptr, dll);
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(dll, "DllCanUnloadNow"));
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(::GetProcAddress(dll, "DllGetClassObject"));
    ASSERT_TRUE(canUnload && getClassObject);
    {
        // Singletons exist now, held only by their factories.
        auto a = Create(L"Stagehand.InstallDlgCtl");
        auto b = Create(L"DOZUvidaruve.StateCtrl");
        EXPECT_HR(S_FALSE, canUnload()) << "client references held";
    }
    EXPECT_HR(S_OK, canUnload()) << "only the factories' own singleton references remain";
    {
        auto shell = Create(L"PebbleUtil.ShellCtl");
        EXPECT_HR(S_FALSE, canUnload());
    }
    EXPECT_HR(S_OK, canUnload());
    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, getClassObject(CLSID_CShellCtl, IID_IClassFactory, factory.put_void()));
    EXPECT_HR(S_FALSE, canUnload()) << "a factory reference is held";
    ASSERT_HR(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_HR(S_FALSE, canUnload()) << "the server is locked";
    ASSERT_HR(S_OK, getClassObject(CLSID_CShellCtl, IID_IClassFactory, factory.put_void()));
    ASSERT_HR(S_OK, factory->LockServer(FALSE));
    factory.reset();
    EXPECT_HR(S_OK, canUnload());
}
