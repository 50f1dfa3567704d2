// The two probe servers as COM sees them: type libraries, class objects, new objects
// per request, aggregation, class information and the module's unload answer.
#include <gtest/gtest.h>

#include <ocidl.h>

#include "Harness.h"
#include "browserprobe.h"
#include "toolbarprobe.h"

using common::ComPtr;

namespace {

struct Probe {
    const wchar_t* dll;
    const wchar_t* progId;
    const wchar_t* viProgId;
    const GUID* libid;
    const CLSID* clsid;
    const IID* iid;
    const wchar_t* libName;
    const wchar_t* interfaceName;
    std::vector<std::vector<std::wstring>> methods;  // name, then parameter names
};

const Probe kProbes[] = {
    {L"browserprobe.dll", L"browserprobe.ChromeCompatibilityChecker.2", L"browserprobe.ChromeCompatibilityChecker",
     &LIBID_browserprobe, &CLSID_CChromeCompatibilityChecker, &IID_IChromeCompatibilityChecker, L"browserprobe",
     L"IChromeCompatibilityChecker", {{L"ChromeCheck", L"record", L"ret"}, {L"StartGoogleChrome"}}},
    {L"toolbarprobe.dll", L"toolbarprobe.gtb.1", L"toolbarprobe.gtb", &LIBID_toolbarprobe, &CLSID_Cgtb, &IID_Igtb,
     L"toolbarprobe", L"Igtb", {{L"shouldOffer", L"record", L"reason"}}},
};

ComPtr<IUnknown> Identity(IUnknown* p) {
    ComPtr<IUnknown> u;
    EXPECT_HR(S_OK, p->QueryInterface(IID_IUnknown, u.put_void()));
    return u;
}

// A minimal aggregating object: answers IUnknown itself and passes every other
// request to the inner object.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

}  // namespace

TEST(ProbeTypeLibrary, IdentifiersNamesAndHelpStringsMatchTheHeaders) {
    for (const auto& p : kProbes) {
        SCOPED_TRACE(harness::Narrow(p.dll));
        ComPtr<ITypeLib> lib;
        ASSERT_HR(S_OK, ::LoadTypeLibEx(harness::Join(harness::BinDir(), p.dll).c_str(), REGKIND_NONE, lib.put()));
        TLIBATTR* attr = nullptr;
        ASSERT_HR(S_OK, lib->GetLibAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(*p.libid, attr->guid)) << "LIBID in the type library";
        EXPECT_EQ(1, attr->wMajorVerNum);
        EXPECT_EQ(0, attr->wMinorVerNum);
        lib->ReleaseTLibAttr(attr);
        common::Bstr name, doc;
        ASSERT_HR(S_OK, lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr));
        EXPECT_EQ(std::wstring(p.libName), name.get());
        EXPECT_EQ(std::wstring(p.libName) + L" 1.0 Type Library", doc.get());

        ComPtr<ITypeInfo> coclass;
        ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*p.clsid, coclass.put()));
        ComPtr<ITypeInfo> itf;
        ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*p.iid, itf.put()));
        TYPEATTR* ta = nullptr;
        ASSERT_HR(S_OK, itf->GetTypeAttr(&ta));
        EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FDUAL);
        const WORD funcs = ta->cFuncs;
        itf->ReleaseTypeAttr(ta);
        // The dispatch view lists IDispatch's seven methods first.
        ComPtr<ITypeInfo> own;
        HREFTYPE ref = 0;
        if (SUCCEEDED(itf->GetRefTypeOfImplType(-1, &ref))) {
            ASSERT_HR(S_OK, itf->GetRefTypeInfo(ref, own.put()));
        }
        ITypeInfo* vt = own ? own.get() : itf.get();
        ASSERT_HR(S_OK, vt->GetTypeAttr(&ta));
        ASSERT_EQ(p.methods.size(), ta->cFuncs) << "methods of " << harness::Narrow(p.interfaceName) << " (" << funcs
                                                << " in the dispatch view)";
        vt->ReleaseTypeAttr(ta);
        for (UINT i = 0; i < p.methods.size(); ++i) {
            FUNCDESC* fd = nullptr;
            ASSERT_HR(S_OK, vt->GetFuncDesc(i, &fd));
            EXPECT_EQ(static_cast<MEMBERID>(i + 1), fd->memid);
            BSTR names[4] = {};
            UINT got = 0;
            EXPECT_HR(S_OK, vt->GetNames(fd->memid, names, 4, &got));
            ASSERT_EQ(p.methods[i].size(), got);
            for (UINT k = 0; k < got; ++k) {
                EXPECT_EQ(p.methods[i][k], names[k]);
                ::SysFreeString(names[k]);
            }
            vt->ReleaseFuncDesc(fd);
        }
    }
}

TEST(ProbeClassObjects, EveryCreationIsANewObjectWithTheThreeInterfaces) {
    for (const auto& p : kProbes) {
        SCOPED_TRACE(harness::Narrow(p.progId));
        auto a = harness::Create(p.progId);
        auto b = harness::Create(p.viProgId);
        ASSERT_TRUE(a && b);
        EXPECT_NE(Identity(a.get()).get(), Identity(b.get()).get());
        ComPtr<IUnknown> itf;
        EXPECT_HR(S_OK, a->QueryInterface(*p.iid, itf.put_void()));
        ComPtr<IProvideClassInfo> pci;
        ASSERT_HR(S_OK, a->QueryInterface(IID_IProvideClassInfo, pci.put_void()));
        ComPtr<ITypeInfo> info;
        ASSERT_HR(S_OK, pci->GetClassInfo(info.put()));
        TYPEATTR* ta = nullptr;
        ASSERT_HR(S_OK, info->GetTypeAttr(&ta));
        EXPECT_TRUE(IsEqualGUID(*p.clsid, ta->guid));
        EXPECT_EQ(TKIND_COCLASS, ta->typekind);
        info->ReleaseTypeAttr(ta);
        ComPtr<IUnknown> none;
        EXPECT_HR(E_NOINTERFACE, a->QueryInterface(IID_IProvideClassInfo2, none.put_void()));
        EXPECT_HR(E_NOINTERFACE, a->QueryInterface(IID_IConnectionPointContainer, none.put_void()));
    }
}

TEST(ProbeClassObjects, ObjectsCanBeAggregated) {
    for (const auto& p : kProbes) {
        SCOPED_TRACE(harness::Narrow(p.progId));
        Outer outer;
        ASSERT_HR(S_OK, ::CoCreateInstance(*p.clsid, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                           reinterpret_cast<void**>(&outer.inner)));
        ASSERT_NE(nullptr, outer.inner);
        IDispatch* disp = nullptr;
        ASSERT_HR(S_OK, outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)));
        // The aggregated object's interfaces lead back to the outer identity.
        IUnknown* identity = nullptr;
        ASSERT_HR(S_OK, disp->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
        identity->Release();
        const ULONG before = outer.refs;
        disp->AddRef();
        EXPECT_EQ(before + 1, outer.refs) << "references on inner interfaces count on the outer object";
        disp->Release();
        // Late binding through the aggregate reaches the object's own dispatcher.
        DISPID id = harness::DispId(disp, p.methods[0][0].c_str());
        EXPECT_EQ(1, id);
        disp->Release();
        outer.inner->Release();
        // Asking an aggregated object for anything but IUnknown at creation is refused.
        IUnknown* wrong = nullptr;
        EXPECT_HR(CLASS_E_NOAGGREGATION,
                  ::CoCreateInstance(*p.clsid, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&wrong)));
    }
}

TEST(ProbeClassObjects, ModuleAnswersUnloadByLiveObjectsAndKnowsOnlyItsClass) {
    for (const auto& p : kProbes) {
        SCOPED_TRACE(harness::Narrow(p.dll));
        HMODULE dll = ::LoadLibraryW(harness::Join(harness::BinDir(), p.dll).c_str());
        ASSERT_NE(nullptr, dll);
        auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
            ::GetProcAddress(dll, "DllGetClassObject"));
        auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(dll, "DllCanUnloadNow"));
        ASSERT_TRUE(getClassObject && canUnload);
        EXPECT_HR(S_OK, canUnload());
        IClassFactory* factory = nullptr;
        EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
                  getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        ASSERT_HR(S_OK, getClassObject(*p.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        EXPECT_HR(S_FALSE, canUnload()) << "a factory reference holds the module";
        IDispatch* obj = nullptr;
        ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&obj)));
        factory->Release();
        EXPECT_HR(S_FALSE, canUnload()) << "a live object holds the module";
        obj->Release();
        EXPECT_HR(S_OK, canUnload());
        ::FreeLibrary(dll);
    }
}
