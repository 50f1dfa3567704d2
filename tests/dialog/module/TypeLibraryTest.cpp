// The embedded type library against the generated header, and late-bound name lookup
// on every class the way a script resolves names.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include "Harness.h"
#include "common/Bstr.h"
#include "stagehand.h"

using common::ComPtr;

namespace {

ComPtr<ITypeLib> LoadOwnTypeLib() {
    ComPtr<ITypeLib> lib;
    EXPECT_HR(S_OK, ::LoadTypeLibEx(harness::Join(harness::BinDir(), L"stagehand.dll").c_str(), REGKIND_NONE,
                                    lib.put()));
    return lib;
}

struct Entry {
    const wchar_t* progId;
    const IID* iid;
};
const Entry kEntries[] = {
    {L"Stagehand.InstallDlgCtl", &IID_IInstallDlgCtl}, {L"DOZUvidaruve.StateCtrl", &IID_ISlideState},
    {L"PebbleUtil.ProcessMgr", &IID_IProcessMgr},      {L"PebbleUtil.ShellCtl", &IID_IShellCtl},
    {L"PebbleUtil.RegAccess", &IID_IRegAccess},        {L"PebbleUtil.UnRar", &IID_IUnRar},
    {L"PebbleUtil.CookieCtl", &IID_ICookieCtl},
};

std::wstring Cased(const std::wstring& s, int mode) {
    std::wstring o = s;
    for (size_t i = 0; i < o.size(); ++i) {
        if (mode == 0) o[i] = static_cast<wchar_t>(towlower(o[i]));
        if (mode == 1) o[i] = static_cast<wchar_t>(towupper(o[i]));
        if (mode == 2) o[i] = static_cast<wchar_t>(i % 2 ? towupper(o[i]) : towlower(o[i]));
    }
    return o;
}

}  // namespace

TEST(TypeLibrary, EveryGuidMatchesTheHeader) {
    auto lib = LoadOwnTypeLib();
    ASSERT_TRUE(lib);
    TLIBATTR* attr = nullptr;
    ASSERT_HR(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_stagehand, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(1033u, attr->lcid);
    lib->ReleaseTLibAttr(attr);
    common::Bstr help;
    ASSERT_HR(S_OK, lib->GetDocumentation(-1, nullptr, help.put(), nullptr, nullptr));
    EXPECT_STREQ(L"stagehand 1.0 Type Library", help.c_str());

    struct Want {
        const wchar_t* name;
        const GUID* guid;
        TYPEKIND kind;
        const wchar_t* help;
    } wants[] = {
        {L"IInstallDlgCtl", &IID_IInstallDlgCtl, TKIND_DISPATCH, L"IInstallDlgCtl Interface"},
        {L"ISlideState", &IID_ISlideState, TKIND_DISPATCH, L"ISlideState Interface"},
        {L"IProcessMgr", &IID_IProcessMgr, TKIND_DISPATCH, L"IProcessMgr Interface"},
        {L"IShellCtl", &IID_IShellCtl, TKIND_DISPATCH, L"IShellCtl Interface"},
        {L"IRegAccess", &IID_IRegAccess, TKIND_DISPATCH, L"IRegAccess Interface"},
        {L"IUnRar", &IID_IUnRar, TKIND_DISPATCH, L"IUnRar Interface"},
        {L"ICookieCtl", &IID_ICookieCtl, TKIND_DISPATCH, L"ICookieCtl Interface"},
        {L"_ISlideStateEvents", &DIID__ISlideStateEvents, TKIND_DISPATCH, L"_IProcessMgrEvents Interface"},
        {L"_IProcessMgrEvents", &DIID__IProcessMgrEvents, TKIND_DISPATCH, L"_IProcessMgrEvents Interface"},
        {L"_IUnRarEvents", &DIID__IUnRarEvents, TKIND_DISPATCH, L"_IUnRarEvents Interface"},
        {L"CInstallDlgCtl", &CLSID_CInstallDlgCtl, TKIND_COCLASS, L"InstallDlgCtl Class"},
        {L"CSlideState", &CLSID_CSlideState, TKIND_COCLASS, L"SlideState Class"},
        {L"CProcessMgr", &CLSID_CProcessMgr, TKIND_COCLASS, L"ProcessMgr Class"},
        {L"CShellCtl", &CLSID_CShellCtl, TKIND_COCLASS, L"ShellCtl Class"},
        {L"CRegAccess", &CLSID_CRegAccess, TKIND_COCLASS, L"RegAccess Class"},
        {L"CUnRar", &CLSID_CUnRar, TKIND_COCLASS, L"UnRar Class"},
        {L"CCookieCtl", &CLSID_CCookieCtl, TKIND_COCLASS, L"CookieCtl Class"},
    };
    EXPECT_EQ(sizeof wants / sizeof wants[0], lib->GetTypeInfoCount());
    for (const auto& w : wants) {
        SCOPED_TRACE(harness::Narrow(w.name));
        ComPtr<ITypeInfo> ti;
        ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*w.guid, ti.put()));
        TYPEATTR* ta = nullptr;
        ASSERT_HR(S_OK, ti->GetTypeAttr(&ta));
        EXPECT_EQ(w.kind, ta->typekind);
        if (w.kind == TKIND_DISPATCH && w.name[0] == L'I') {
            EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FDUAL);
        }
        ti->ReleaseTypeAttr(ta);
        common::Bstr name, doc;
        ASSERT_HR(S_OK, ti->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr));
        EXPECT_STREQ(w.name, name.c_str());
        EXPECT_STREQ(w.help, doc.c_str());
    }
}

TEST(TypeLibrary, EveryMethodNameResolvesInAnyCaseOnEveryClass) {
    auto lib = LoadOwnTypeLib();
    ASSERT_TRUE(lib);
    for (const auto& e : kEntries) {
        SCOPED_TRACE(harness::Narrow(e.progId));
        auto obj = harness::Create(e.progId);
        ASSERT_TRUE(obj);
        ComPtr<ITypeInfo> ti;
        ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*e.iid, ti.put()));
        TYPEATTR* ta = nullptr;
        ASSERT_HR(S_OK, ti->GetTypeAttr(&ta));
        const WORD funcs = ta->cFuncs;
        ti->ReleaseTypeAttr(ta);
        int checked = 0;
        for (WORD i = 0; i < funcs; ++i) {
            FUNCDESC* fd = nullptr;
            ASSERT_HR(S_OK, ti->GetFuncDesc(i, &fd));
            const MEMBERID id = fd->memid;
            ti->ReleaseFuncDesc(fd);
            if (id < 1 || id > 1000) continue;  // IUnknown / IDispatch members
            common::Bstr name;
            ASSERT_HR(S_OK, ti->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr));
            for (int mode = 0; mode < 3; ++mode) {
                std::wstring n = Cased(name.c_str(), mode);
                HRESULT hr;
                DISPID got = harness::DispId(obj.get(), n.c_str(), &hr);
                EXPECT_HR(S_OK, hr) << harness::Narrow(n);
                EXPECT_EQ(id, got) << harness::Narrow(n);
            }
            ++checked;
        }
        EXPECT_GT(checked, 0);
        HRESULT hr;
        harness::DispId(obj.get(), L"NoSuchMethod", &hr);
        EXPECT_HR(DISP_E_UNKNOWNNAME, hr);
    }
}

TEST(TypeLibrary, SpotDispIds) {
    struct Row {
        const wchar_t* progId;
        const wchar_t* name;
        DISPID id;
    } rows[] = {
        {L"Stagehand.InstallDlgCtl", L"navigate", 1},      {L"Stagehand.InstallDlgCtl", L"Utf32beToUtf8", 51},
        {L"Stagehand.InstallDlgCtl", L"PLAYPDSOUND", 26},  {L"DOZUvidaruve.StateCtrl", L"MESSAGE", 20},
        {L"DOZUvidaruve.StateCtrl", L"put_InstallPath", 5}, {L"DOZUvidaruve.StateCtrl", L"PollProcess", 31},
        {L"PebbleUtil.ProcessMgr", L"KillProcessAndDescendants", 19},
        {L"PebbleUtil.ShellCtl", L"DeleteOnReboot", 33},   {L"PebbleUtil.ShellCtl", L"getfolderpath", 30},
        {L"PebbleUtil.RegAccess", L"RegDeleteTree", 11},   {L"PebbleUtil.UnRar", L"percentcomplete", 2},
        {L"PebbleUtil.CookieCtl", L"GETCOOKIEITEM", 2},
    };
    for (const auto& r : rows) {
        auto obj = harness::Create(r.progId);
        ASSERT_TRUE(obj);
        HRESULT hr;
        EXPECT_EQ(r.id, harness::DispId(obj.get(), r.name, &hr)) << harness::Narrow(r.name);
        EXPECT_HR(S_OK, hr);
    }
}

TEST(TypeLibrary, NameTableStopsAtTheFirstUnknownName) {
    auto obj = harness::Create(L"DOZUvidaruve.StateCtrl");
    LPOLESTR names[3] = {const_cast<LPOLESTR>(L"reset"), const_cast<LPOLESTR>(L"bogus"),
                         const_cast<LPOLESTR>(L"Next")};
    DISPID ids[3] = {-7, -7, -7};
    EXPECT_HR(DISP_E_UNKNOWNNAME, obj->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(9, ids[0]);
    EXPECT_EQ(-7, ids[1]);
    EXPECT_EQ(-7, ids[2]);
}

// Name lookups that a careless caller makes: no names, a null array, a null name. They
// must be refused before they reach the type information (which reads the array
// unchecked), on every class whatever dispatcher serves it.
TEST(TypeLibrary, MalformedNameLookupsAreRefusedOnEveryClass) {
    for (const Entry& e : kEntries) {
        auto obj = harness::Create(e.progId);
        ASSERT_TRUE(obj) << harness::Narrow(e.progId);
        DISPID ids[2] = {-7, -7};
        LPOLESTR nullName[1] = {nullptr};
        const HRESULT nullArray = obj->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, ids);
        EXPECT_TRUE(nullArray == E_INVALIDARG || nullArray == E_POINTER) << harness::Narrow(e.progId);
        EXPECT_TRUE(FAILED(obj->GetIDsOfNames(IID_NULL, nullName, 1, LOCALE_USER_DEFAULT, ids)))
            << harness::Narrow(e.progId);
        LPOLESTR one[1] = {const_cast<LPOLESTR>(L"x")};
        EXPECT_TRUE(FAILED(obj->GetIDsOfNames(IID_NULL, one, 1, LOCALE_USER_DEFAULT, nullptr)))
            << harness::Narrow(e.progId);
        // No names at all: nothing to look up, nothing written.
        const HRESULT none = obj->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, ids);
        EXPECT_TRUE(none == E_INVALIDARG || none == S_OK) << harness::Narrow(e.progId);
        EXPECT_EQ(-7, ids[0]);
    }
}

// A parameter block that counts arguments but holds no array for them is refused on
// every class before any argument is read, for every method.
TEST(TypeLibrary, ArgumentCountWithoutArgumentsIsRefusedOnEveryClass) {
    for (const Entry& e : kEntries) {
        auto obj = harness::Create(e.progId);
        ASSERT_TRUE(obj) << harness::Narrow(e.progId);
        for (DISPID id = 1; id <= 51; ++id) {
            for (UINT count : {1u, 2u, 3u}) {
                DISPPARAMS params = {nullptr, nullptr, count, 0};
                VARIANT result;
                ::VariantInit(&result);
                const HRESULT hr =
                    obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
                EXPECT_TRUE(FAILED(hr)) << harness::Narrow(e.progId) << " " << id << " " << count;
                ::VariantClear(&result);
            }
        }
    }
}

namespace {

// An object that counts the references others hold to it.
class Counted : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override { return ::InterlockedDecrement(&refs); }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return n ? (*n = 0, S_OK) : E_POINTER; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    LONG refs = 1;
};

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {sizeof counters};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

}  // namespace

// Calls the type information would reject after converting their arguments (wrong count,
// an argument that does not convert) are refused first: the converted copies of a long
// text and references to a passed object are never left behind.
TEST(TypeLibrary, RejectedCallsKeepNeitherMemoryNorReferences) {
    auto mgr = harness::Create(L"PebbleUtil.ProcessMgr");
    ASSERT_TRUE(mgr);
    const DISPID sleep = harness::DispId(mgr.get(), L"Sleep");
    Counted object;
    common::Bstr text(std::wstring(65536, L'x').c_str());
    ASSERT_TRUE(text);
    VARIANT args[2];
    ::VariantInit(&args[0]);
    V_VT(&args[0]) = VT_DISPATCH;
    V_DISPATCH(&args[0]) = &object;
    ::VariantInit(&args[1]);
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = text.get();
    const SIZE_T before = PrivateBytes();
    for (int i = 0; i < 300; ++i) {
        DISPPARAMS tooMany = {args, nullptr, 2, 0};
        EXPECT_HR(DISP_E_BADPARAMCOUNT, mgr->Invoke(sleep, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &tooMany,
                                                    nullptr, nullptr, nullptr));
        DISPPARAMS wrongType = {&args[1], nullptr, 1, 0};
        UINT argErr = 99;
        EXPECT_HR(DISP_E_TYPEMISMATCH, mgr->Invoke(sleep, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                                   &wrongType, nullptr, nullptr, &argErr));
        EXPECT_EQ(0u, argErr);
    }
    // A named argument for a parameter the positional ones already fill, next to an object
    // the text parameter can't take: refused before the platform converts (and, refusing,
    // keeps) anything; so is a name no parameter has.
    auto reg = harness::Create(L"PebbleUtil.RegAccess");
    ASSERT_TRUE(reg);
    const DISPID createMl = harness::DispId(reg.get(), L"CreateMLSubKey");
    for (DISPID name : {0, 1, 7}) {
        VARIANT four[4];
        for (VARIANT& v : four) ::VariantInit(&v);
        V_VT(&four[0]) = VT_R8;  // named
        V_VT(&four[1]) = VT_NULL;
        four[2] = args[0];  // the object, as the value name
        V_VT(&four[3]) = VT_BSTR;
        V_BSTR(&four[3]) = text.get();
        DISPID names[1] = {name};
        DISPPARAMS byName = {four, names, 4, 1};
        EXPECT_TRUE(FAILED(reg->Invoke(createMl, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &byName, nullptr,
                                       nullptr, nullptr)))
            << name;
    }
    // Texts given by value for [in] BSTR* parameters, then a value the last one can't take:
    // refused before the platform converts the texts (it would keep those copies).
    const DISPID create = harness::DispId(reg.get(), L"CreateSubKey");
    // CreateSubKey's four arguments, refused with the given one named as the culprit.
    auto refusedCreate = [&](VARIANT (&four)[4], UINT culprit) {
        DISPPARAMS call = {four, nullptr, 4, 0};
        UINT argErr = 99;
        EXPECT_HR(DISP_E_TYPEMISMATCH, reg->Invoke(create, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call,
                                                   nullptr, nullptr, &argErr));
        EXPECT_EQ(culprit, argErr);
    };
    for (int i = 0; i < 300; ++i) {
        VARIANT four[4];
        for (VARIANT& v : four) ::VariantInit(&v);
        V_VT(&four[0]) = VT_UI4;
        V_UI4(&four[0]) = REG_SZ;
        V_VT(&four[1]) = VT_NULL;  // the value: no text
        V_VT(&four[2]) = VT_BSTR;
        V_BSTR(&four[2]) = text.get();
        V_VT(&four[3]) = VT_BSTR;
        V_BSTR(&four[3]) = text.get();
        refusedCreate(four, 1);
    }
    // The key text by value, then the value name as a reference to a VARIANT holding a
    // text (how a script passes its variables): no reference but one to a text fits an
    // [in] BSTR* parameter, refused before the platform copies the key.
    for (int i = 0; i < 300; ++i) {
        BSTR name = text.get();
        VARIANT held;
        ::VariantInit(&held);
        V_VT(&held) = VT_BSTR;
        V_BSTR(&held) = name;
        VARIANT four[4];
        for (VARIANT& v : four) ::VariantInit(&v);
        V_VT(&four[0]) = VT_UI4;
        V_UI4(&four[0]) = REG_SZ;
        V_VT(&four[1]) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&four[1]) = &name;
        V_VT(&four[2]) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&four[2]) = &held;
        V_VT(&four[3]) = VT_BSTR;
        V_BSTR(&four[3]) = text.get();
        refusedCreate(four, 2);
    }
    EXPECT_EQ(1, object.refs);
    // 300 leaked copies of the text would be about 40 MB (600 for the texts by value, 300
    // more for the key before a reference of the wrong type).
    EXPECT_LT(PrivateBytes(), before + 4 * 1024 * 1024);
    // The same member still answers a well-formed call.
    harness::CallOk(mgr.get(), L"Sleep", {harness::UI4(1)});
}
