// The COM frame of common/ with small classes of its own: factories, aggregation,
// connection points and name-table dispatch, without any product DLL.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include "Harness.h"
#include "common/ClassFactory.h"
#include "common/ConnectionPoint.h"
#include "common/Dispatch.h"

using common::ComPtr;

namespace {

// The test program is its own module: lock counts and singletons live here.
common::ComModule testModule(GUID_NULL, L"{00000000-0000-0000-0000-000000000000}");

LONG constructions = 0;
HRESULT nextFinalConstruct = S_OK;

// A container with one event point for an IDispatch-based event interface.
class EventSource : public common::ComObjectRoot, public common::ConnectionPointContainerImpl {
public:
    EventSource() : events_(this, IID_IDispatch), notify_(this, IID_IPropertyNotifySink), points_{&events_, &notify_} {}
    HRESULT FinalConstruct() {
        ::InterlockedIncrement(&constructions);
        return nextFinalConstruct;
    }
    COM_INTERFACE_MAP_BEGIN(IConnectionPointContainer)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE_MAP_END()

    common::ConnectionPoint events_;
    common::ConnectionPoint notify_;

protected:
    common::ConnectionPoint* const* Points(size_t& count) noexcept override {
        count = 2;
        return points_;
    }

private:
    common::ConnectionPoint* points_[2];
};

// A sink counting calls; can be told to fail.
class Sink : public IDispatch, public IPropertyNotifySink {
public:
    explicit Sink(HRESULT answer) : answer_(answer) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IPropertyNotifySink) *ppv = static_cast<IPropertyNotifySink*>(this);
        else return (*ppv = nullptr), E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        lastId = id;
        lastArg = p && p->cArgs ? V_I4(&p->rgvarg[0]) : -1;
        ++calls;
        return answer_;
    }
    STDMETHODIMP OnChanged(DISPID id) override {
        ++changes;
        return answer_;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    ULONG refs = 1;
    int calls = 0, changes = 0;
    DISPID lastId = 0;
    LONG lastArg = 0;

private:
    HRESULT answer_;
};

}  // namespace

TEST(Frame, EveryConnectedSinkIsCalledEvenWhenOneFails) {
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_HR(S_OK, common::ComObject<EventSource>::Create(IID_IConnectionPointContainer, cpc.put_void()));
    auto* source = static_cast<EventSource*>(cpc.get());
    ComPtr<IConnectionPoint> cp;
    ASSERT_HR(S_OK, cpc->FindConnectionPoint(IID_IDispatch, cp.put()));

    Sink failing(E_FAIL), a(S_OK), b(S_OK);
    DWORD c1 = 0, c2 = 0, c3 = 0;
    ASSERT_HR(S_OK, cp->Advise(static_cast<IDispatch*>(&failing), &c1));
    ASSERT_HR(S_OK, cp->Advise(static_cast<IDispatch*>(&a), &c2));
    ASSERT_HR(S_OK, cp->Advise(static_cast<IDispatch*>(&b), &c3));
    EXPECT_NE(c1, c2);

    VARIANT arg;
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 42;
    DISPPARAMS dp = {&arg, nullptr, 1, 0};
    EXPECT_EQ(1, source->events_.FireDispatch(7, &dp));
    EXPECT_EQ(1, failing.calls);
    EXPECT_EQ(1, a.calls);
    EXPECT_EQ(1, b.calls);
    EXPECT_EQ(7, b.lastId);
    EXPECT_EQ(42, b.lastArg);

    ComPtr<IEnumConnections> en;
    ASSERT_HR(S_OK, cp->EnumConnections(en.put()));
    CONNECTDATA cd[4];
    ULONG n = 0;
    en->Next(4, cd, &n);
    EXPECT_EQ(3u, n);
    for (ULONG i = 0; i < n; ++i) cd[i].pUnk->Release();
    en.reset();

    ASSERT_HR(S_OK, cp->Unadvise(c2));
    EXPECT_HR(CONNECT_E_NOCONNECTION, cp->Unadvise(c2));
    source->events_.FireDispatch(8, nullptr);
    EXPECT_EQ(1, a.calls) << "an unadvised sink is not called";
    EXPECT_EQ(2, b.calls);
    cp->Unadvise(c1);
    cp->Unadvise(c3);
    cp.reset();
    cpc.reset();
    EXPECT_EQ(1u, a.refs);
    EXPECT_EQ(1u, b.refs);
    EXPECT_EQ(1u, failing.refs);
}

TEST(Frame, PropertyNotifySinksAndRefusedSinks) {
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_HR(S_OK, common::ComObject<EventSource>::Create(IID_IConnectionPointContainer, cpc.put_void()));
    ComPtr<IConnectionPoint> cp;
    ASSERT_HR(S_OK, cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.put()));
    Sink s(S_OK);
    DWORD cookie = 0;
    ASSERT_HR(S_OK, cp->Advise(static_cast<IDispatch*>(&s), &cookie));
    static_cast<EventSource*>(cpc.get())->notify_.FireOnChanged(3);
    EXPECT_EQ(1, s.changes);
    cp->Unadvise(cookie);
    // A sink without the point's interface is refused.
    ComPtr<IConnectionPoint> events;
    ASSERT_HR(S_OK, cpc->FindConnectionPoint(IID_IDispatch, events.put()));
    ComPtr<IUnknown> notASink;
    ASSERT_HR(S_OK, common::ComObject<EventSource>::Create(IID_IUnknown, notASink.put_void()));
    EXPECT_HR(CONNECT_E_CANNOTCONNECT, events->Advise(notASink.get(), &cookie));
}

TEST(Frame, ObjectsHoldTheModuleWhileAlive) {
    const LONG before = testModule.LockCount();
    {
        ComPtr<IUnknown> obj;
        ASSERT_HR(S_OK, common::ComObject<EventSource>::Create(IID_IUnknown, obj.put_void()));
        EXPECT_EQ(before + 1, testModule.LockCount());
    }
    EXPECT_EQ(before, testModule.LockCount());
}

TEST(Frame, AggregatedObjectDelegatesToItsOuter) {
    common::ClassFactory<EventSource, common::Aggregation::Allowed> factory;
    Sink outer(S_OK);  // any IUnknown serves as the outer object
    IUnknown* outerUnk = static_cast<IDispatch*>(&outer);
    ComPtr<IUnknown> inner;
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory.CreateInstance(outerUnk, IID_IConnectionPointContainer, inner.put_void()))
        << "an aggregate is asked for IUnknown only";
    ASSERT_HR(S_OK, factory.CreateInstance(outerUnk, IID_IUnknown, inner.put_void()));
    ComPtr<IConnectionPointContainer> cpc;
    const ULONG outerRefs = outer.refs;
    ASSERT_HR(S_OK, inner->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()));
    EXPECT_EQ(outerRefs + 1, outer.refs) << "references on inner interfaces count on the outer object";
    // IUnknown through an inner interface is the outer object's.
    IUnknown* viaInner = nullptr;
    ASSERT_HR(S_OK, cpc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInner)));
    EXPECT_EQ(outerUnk, viaInner);
    viaInner->Release();
    cpc.reset();
    EXPECT_EQ(outerRefs, outer.refs);

    common::ClassFactory<EventSource> refusing;
    ComPtr<IUnknown> none;
    EXPECT_HR(CLASS_E_NOAGGREGATION, refusing.CreateInstance(outerUnk, IID_IUnknown, none.put_void()));
}

TEST(Frame, SingletonRemembersAFailedFirstCreation) {
    common::SingletonClassFactory<EventSource> factory;
    constructions = 0;
    nextFinalConstruct = E_ACCESSDENIED;
    ComPtr<IUnknown> obj;
    EXPECT_HR(E_ACCESSDENIED, factory.CreateInstance(nullptr, IID_IUnknown, obj.put_void()));
    nextFinalConstruct = S_OK;
    EXPECT_HR(E_ACCESSDENIED, factory.CreateInstance(nullptr, IID_IUnknown, obj.put_void()));
    EXPECT_EQ(1, constructions) << "no second attempt";
}

TEST(Frame, SingletonKeepsOneObjectAndOnlyClientReferencesLock) {
    common::SingletonClassFactory<EventSource> factory;
    nextFinalConstruct = S_OK;
    const LONG before = testModule.LockCount();
    ComPtr<IUnknown> a, b;
    ASSERT_HR(S_OK, factory.CreateInstance(nullptr, IID_IUnknown, a.put_void()));
    ASSERT_HR(S_OK, factory.CreateInstance(nullptr, IID_IUnknown, b.put_void()));
    EXPECT_EQ(a.get(), b.get());
    EXPECT_GT(testModule.LockCount(), before);
    a.reset();
    b.reset();
    EXPECT_EQ(before, testModule.LockCount());
    ComPtr<IUnknown> aggregated;
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory.CreateInstance(static_cast<IClassFactory*>(&factory), IID_IUnknown,
                                                            aggregated.put_void()));
    testModule.Term();  // releases the kept object
}

TEST(Frame, LookupNamesIsCaseInsensitiveAndStopsAtUnknown) {
    const common::NameEntry table[] = {{L"Unpack", 1}, {L"PercentComplete", 2}};
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"PERCENTcomplete"), const_cast<LPOLESTR>(L"unpack")};
    DISPID ids[2] = {0, 0};
    EXPECT_HR(S_OK, common::LookupNames(table, 2, names, 2, ids));
    EXPECT_EQ(2, ids[0]);
    EXPECT_EQ(1, ids[1]);
    LPOLESTR bad[] = {const_cast<LPOLESTR>(L"nope"), const_cast<LPOLESTR>(L"unpack")};
    DISPID out[2] = {-5, -5};
    EXPECT_HR(DISP_E_UNKNOWNNAME, common::LookupNames(table, 2, bad, 2, out));
    EXPECT_EQ(-5, out[0]);
    EXPECT_EQ(-5, out[1]);
}

TEST(Frame, InvokeArgumentChecks) {
    VARIANT result;
    EXPECT_HR(DISP_E_BADVARTYPE, common::CheckInvokeArgs(nullptr, 2, &result));
    VARIANT args[3];
    for (auto& v : args) {
        ::VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = 5;
    }
    DISPPARAMS three = {args, nullptr, 3, 0};
    EXPECT_HR(DISP_E_BADPARAMCOUNT, common::CheckInvokeArgs(&three, 2, &result));
    DISPID named[2] = {DISPID_PROPERTYPUT, 0};
    DISPPARAMS put = {args, named, 1, 1};
    EXPECT_HR(S_OK, common::CheckInvokeArgs(&put, 2, &result));
    DISPPARAMS other = {args, named + 1, 1, 1};
    EXPECT_HR(DISP_E_NONAMEDARGS, common::CheckInvokeArgs(&other, 2, &result));

    BSTR s = nullptr;
    UINT argErr = 99;
    ASSERT_HR(S_OK, common::ArgAsBstr(&three, 0, &s, 0, &argErr));
    EXPECT_STREQ(L"5", s);
    ::SysFreeString(s);
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = nullptr;
    LONG n = 0;
    EXPECT_HR(DISP_E_TYPEMISMATCH, common::ArgAsI4(&three, 1, &n, 1, &argErr));
    EXPECT_EQ(1u, argErr);
}
