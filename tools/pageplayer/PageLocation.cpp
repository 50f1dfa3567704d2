#include "tools/pageplayer/PageLocation.h"

#include <new>

#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

namespace {

enum : DISPID { kHref = 1, kSearch, kHash, kPathName, kProtocol, kHost, kHostName, kPort, kReload, kReplace, kAssign, kToString };

const ScriptMember kMembers[] = {
    {L"href", kHref, false},         {L"search", kSearch, false},     {L"hash", kHash, false},
    {L"pathname", kPathName, false}, {L"protocol", kProtocol, false}, {L"host", kHost, false},
    {L"hostname", kHostName, false}, {L"port", kPort, false},         {L"reload", kReload, true},
    {L"replace", kReplace, true},    {L"assign", kAssign, true},      {L"toString", kToString, true},
};

}  // namespace

HRESULT PageLocation::Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<PageLocation>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    out = static_cast<IDispatch*>(static_cast<IDispatchEx*>(obj));
    return S_OK;
}

const ScriptMember* PageLocation::Members(size_t& count) const noexcept {
    count = sizeof(kMembers) / sizeof(kMembers[0]);
    return kMembers;
}

HRESULT PageLocation::InvokeOther(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                  IServiceProvider*) {
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    // The location's value is its address: `location + ""`, `location = "x.html"`.
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return InvokeMember(kHref, DISPATCH_PROPERTYPUT, params, result);
    return ScriptValue::SetString(result, page_->Address().Href());
}

HRESULT PageLocation::InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) {
    const PageAddress& a = page_->Address();
    const bool put = kind == DISPATCH_PROPERTYPUT;
    switch (id) {
    case kHref:
        if (put) {
            page_->Navigate(ScriptValue::String(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetString(result, a.Href());
    case kSearch:
        if (put) {
            std::wstring search = ScriptValue::String(ScriptValue::PutValue(params));
            if (!search.empty() && search[0] != L'?') search = L"?" + search;
            page_->Navigate(search.empty() ? a.Href().substr(0, a.Href().size() - a.Search().size() - a.Hash().size())
                                           : search);
            return S_OK;
        }
        return ScriptValue::SetString(result, a.Search());
    case kHash:
        if (put) return S_OK;  // moving inside the page: nothing to scroll
        return ScriptValue::SetString(result, a.Hash());
    case kPathName: return put ? S_OK : ScriptValue::SetString(result, a.PathName());
    case kProtocol: return put ? S_OK : ScriptValue::SetString(result, a.Protocol());
    case kHost:
    case kHostName:
    case kPort: return put ? S_OK : ScriptValue::SetString(result, L"");
    case kReload:
        page_->Navigate(a.Href());
        return S_OK;
    case kReplace:
    case kAssign:
        page_->Navigate(ScriptValue::String(ScriptValue::Arg(params, 0)));
        return S_OK;
    case kToString: return ScriptValue::SetString(result, a.Href());
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace pageplayer
