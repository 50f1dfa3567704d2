#include "ClassFuzzer.h"

#include <algorithm>
#include <cwchar>

#include "CallPolicy.h"
#include "CountingObject.h"
#include "GrowthMeter.h"
#include "common/Bstr.h"
#include "common/Handle.h"

using common::ComPtr;

namespace fuzz {

namespace {

// The type information of the class's default interface, read from the server file
// the class is registered with (so classes that answer names from their own tables
// are covered too).
HRESULT DefaultInterface(REFCLSID clsid, ComPtr<ITypeInfo>& out) {
    wchar_t key[80] = L"CLSID\\";
    if (::StringFromGUID2(clsid, key + 6, 40) == 0) return E_FAIL;
    wcscat_s(key, L"\\InprocServer32");
    wchar_t path[MAX_PATH];
    LONG size = sizeof path;
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, key, path, &size) != ERROR_SUCCESS) return E_FAIL;
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> coclass;
    hr = lib->GetTypeInfoOfGuid(clsid, coclass.put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = coclass->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const WORD count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & IMPLTYPEFLAG_FSOURCE)) continue;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref))) continue;
        return coclass->GetRefTypeInfo(ref, out.put());
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

void FreeExcepInfo(EXCEPINFO& e) {
    if (e.pfnDeferredFillIn) e.pfnDeferredFillIn(&e);
    ::SysFreeString(e.bstrSource);
    ::SysFreeString(e.bstrDescription);
    ::SysFreeString(e.bstrHelpFile);
}

}  // namespace

ClassFuzzer::ClassFuzzer(std::wstring progId, unsigned seed, SharedRecord* record, const HarmlessPool& pool)
    : progId_(std::move(progId)), rng_(seed), record_(record), values_(rng_, pool) {}

HRESULT ClassFuzzer::Setup() {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(progId_.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object_.put_void());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = DefaultInterface(clsid, info);
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const WORD funcs = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        common::Bstr name;
        if (SUCCEEDED(info->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr))) {
            UINT params = f->cParams;
            if (params && (f->lprgelemdescParam[params - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) --params;
            methods_.push_back({name.c_str(), f->memid, params, static_cast<WORD>(f->invkind)});
            if (std::find(names_.begin(), names_.end(), name.c_str()) == names_.end()) names_.push_back(name.c_str());
        }
        info->ReleaseFuncDesc(f);
    }
    // FUZZ_SKIP=Name,Name leaves methods out, to tell which one a growth comes from.
    wchar_t skip[1024] = L"";
    if (::GetEnvironmentVariableW(L"FUZZ_SKIP", skip, 1024) < 1024) {
        const std::wstring list = L"," + std::wstring(skip) + L",";
        methods_.erase(std::remove_if(methods_.begin(), methods_.end(),
                                      [&](const Method& m) {
                                          return list.find(L"," + m.name + L",") != std::wstring::npos;
                                      }),
                       methods_.end());
    }
    return methods_.empty() ? TYPE_E_ELEMENTNOTFOUND : S_OK;
}

void ClassFuzzer::Describe(const std::wstring& text) {
    wcsncpy_s(record_->current, text.c_str(), _TRUNCATE);
}

void ClassFuzzer::CallGetIDsOfNames(bool execute) {
    const UINT count = values_.Below(5) == 0 ? 0 : 1 + values_.Below(3);
    std::vector<std::wstring> names;
    for (UINT i = 0; i < count; ++i) names.push_back(values_.Name(names_));
    std::vector<LPOLESTR> pointers;
    for (auto& n : names) pointers.push_back(values_.Chance(3) ? nullptr : &n[0]);
    const bool nullNames = values_.Chance(10);
    const bool nullIds = values_.Chance(5);
    if (!execute) return;
    std::wstring text = L"GetIDsOfNames(count=" + std::to_wstring(count) + (nullNames ? L", names=null" : L"") +
                        (nullIds ? L", ids=null" : L"");
    for (auto& n : names) text += L", \"" + (n.size() > 40 ? n.substr(0, 30) + L"...(" + std::to_wstring(n.size()) + L")" : n) + L"\"";
    Describe(text + L")");
    std::vector<DISPID> ids(count + 1, 12345);
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, nullNames ? nullptr : pointers.data(), count, LOCALE_USER_DEFAULT,
                                        nullIds ? nullptr : ids.data());
    ::InterlockedIncrement(&record_->families[FamilyOf(hr)]);
}

void ClassFuzzer::CallInvoke(bool execute) {
    // A method of the type information (chosen again while it is skipped), or an
    // identifier no method has.
    const Method* method = nullptr;
    DISPID id;
    const MethodPolicy* policy = nullptr;
    if (values_.Chance(90)) {
        for (;;) {
            method = &methods_[values_.Below(unsigned(methods_.size()))];
            policy = FindPolicy(progId_, method->name);
            if (!policy || policy->kinds) break;
        }
        id = method->id;
    } else {
        static const DISPID odd[] = {0, -1, -3, -4, -5, 1000, 0x7FFFFFFF, 0x60000000, 0x60010000};
        id = odd[values_.Below(sizeof odd / sizeof *odd)];
        for (const auto& m : methods_)
            if (m.id == id) id = 4242;
    }
    static const WORD flagChoices[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                       DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF, 0};
    WORD flags = values_.Chance(80) ? flagChoices[values_.Below(6)] : WORD(values_.Below(16));
    if (method && values_.Chance(60)) flags = method->invokeKind == INVOKE_FUNC ? DISPATCH_METHOD : method->invokeKind;

    // Arguments: the method's own count most of the time, else 0 to 4.
    UINT count = method && values_.Chance(70) ? method->params : values_.Below(5);
    const wchar_t* kinds = policy ? policy->kinds : nullptr;
    wchar_t fallback = L'f';
    if (kinds)
        for (const wchar_t* k = kinds; *k; ++k)
            if (*k != L'f') {
                fallback = *k;
                break;
            }
    std::vector<VARIANT> args(count), stores(count);
    std::wstring argText;
    for (UINT i = 0; i < count; ++i) {
        // rgvarg holds the arguments last first.
        const UINT position = count - 1 - i;
        char kind = 'f';
        if (kinds) kind = char(count == wcslen(kinds) ? kinds[position] : fallback);
        std::wstring one;
        values_.Make(kind, &args[i], &stores[i], one);
        argText = one + (argText.empty() ? L"" : L", ") + argText;
    }
    DISPID named[4] = {DISPID_PROPERTYPUT, 0, 0, 0};
    UINT namedCount = 0;
    if (count && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && values_.Chance(70)) namedCount = 1;
    if (count && values_.Chance(3)) {
        namedCount = 1;
        named[0] = static_cast<DISPID>(values_.Below(3));
    }
    DISPPARAMS params = {count ? args.data() : nullptr, namedCount ? named : nullptr, count, namedCount};
    if (count && values_.Chance(1)) params.rgvarg = nullptr;
    const bool nullParams = values_.Chance(3);
    const bool nullResult = values_.Chance(20);
    const bool nullExcep = values_.Chance(30);
    const bool nullArgErr = values_.Chance(30);

    if (execute) {
        Describe(L"Invoke(" + (method ? method->name : L"#" + std::to_wstring(id)) + L", flags=" +
                 std::to_wstring(flags) + (nullParams ? L", params=null" : L"") +
                 (params.rgvarg == nullptr && count ? L", rgvarg=null" : L"") +
                 (namedCount ? L", named=" + std::to_wstring(named[0]) : L"") + L", [" + argText + L"]" +
                 (nullResult ? L", result=null" : L"") + (nullExcep ? L", excepinfo=null" : L"") +
                 (nullArgErr ? L", argerr=null" : L"") + L")");
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO excep = {};
        UINT argErr = 0;
        HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, nullParams ? nullptr : &params,
                                     nullResult ? nullptr : &result, nullExcep ? nullptr : &excep,
                                     nullArgErr ? nullptr : &argErr);
        ::InterlockedIncrement(&record_->families[FamilyOf(hr)]);
        ::VariantClear(&result);
        if (!nullExcep) FreeExcepInfo(excep);
    }
    for (UINT i = 0; i < count; ++i) {
        ::VariantClear(&args[i]);
        ::VariantClear(&stores[i]);
    }
    // Whatever references to our objects remain now are the server's: name the first
    // call that added one.
    const LONG live = CountingObject::LiveReferences();
    if (execute && live > liveReferences_ && !record_->firstKept[0])
        swprintf_s(record_->firstKept, L"call %ld: %.480ls", record_->callIndex, record_->current);
    liveReferences_ = live;
}

void ClassFuzzer::Run(LONG first, LONG last) {
    GrowthMeter growth(first, last);
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (LONG i = 1; i <= last; ++i) {
        const bool execute = i >= first;
        if (execute) record_->callIndex = i;
        if (values_.Chance(15)) CallGetIDsOfNames(execute);
        else CallInvoke(execute);
        if (!execute) continue;
        ++record_->calls;
        growth.AfterCall(i);
    }
    ::QueryPerformanceCounter(&end);
    record_->seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    growth.Finish(record_);
    Describe(L"(releasing the object)");
    object_.reset();
    ::CoFreeUnusedLibraries();
    record_->keptReferences = CountingObject::LiveReferences();
}

}  // namespace fuzz
