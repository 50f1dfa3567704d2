#include "tools/pageplayer/PageDocument.h"

#include <new>

#include "common/Bstr.h"
#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

namespace {

enum : DISPID { kTitle = 1, kGetElementById, kLocation, kUrl, kBody, kReadyState, kParentWindow };

const ScriptMember kMembers[] = {
    {L"title", kTitle, false},         {L"getElementById", kGetElementById, true}, {L"location", kLocation, false},
    {L"URL", kUrl, false},             {L"body", kBody, false},                    {L"readyState", kReadyState, false},
    {L"parentWindow", kParentWindow, false},
};

}  // namespace

HRESULT PageDocument::Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<PageDocument>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    out = static_cast<IDispatch*>(static_cast<IDispatchEx*>(obj));
    return S_OK;
}

const ScriptMember* PageDocument::Members(size_t& count) const noexcept {
    count = sizeof(kMembers) / sizeof(kMembers[0]);
    return kMembers;
}

HRESULT PageDocument::InvokeOther(DISPID id, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                  IServiceProvider*) {
    if (id == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET)) return ScriptValue::SetString(result, L"[object Document]");
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT PageDocument::InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) {
    const bool put = kind == DISPATCH_PROPERTYPUT;
    switch (id) {
    case kTitle:
        if (put) {
            page_->SetTitle(ScriptValue::String(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetString(result, page_->Title());
    case kGetElementById: {
        const std::wstring wanted = ScriptValue::String(ScriptValue::Arg(params, 0));
        return ScriptValue::SetObject(result, page_->ElementObject(page_->Root().FindById(wanted)).get());
    }
    case kLocation:
        if (put) {
            page_->Navigate(ScriptValue::String(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetObject(result, page_->LocationObject().get());
    case kUrl:
        if (put) {
            page_->Navigate(ScriptValue::String(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetString(result, page_->Address().Href());
    case kBody:
        return put ? S_OK : ScriptValue::SetObject(result, page_->ElementObject(page_->Root().FindTag(L"body")).get());
    case kReadyState:
        return put ? S_OK : ScriptValue::SetString(result, page_->ReadyState());
    case kParentWindow:
        return put ? S_OK : ScriptValue::SetObject(result, page_->WindowObject().get());
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

STDMETHODIMP PageDocument::get_Script(IDispatch** p) {
    if (!p) return E_POINTER;
    *p = page_->WindowObject().Detach();
    return *p ? S_OK : E_FAIL;
}

STDMETHODIMP PageDocument::put_title(BSTR v) {
    try {
        page_->SetTitle(common::BstrText(v));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP PageDocument::get_title(BSTR* p) {
    try {
        return common::AllocBstr(page_->Title().c_str(), p);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP PageDocument::get_readyState(BSTR* p) { return common::AllocBstr(page_->ReadyState(), p); }

STDMETHODIMP PageDocument::get_URL(BSTR* p) { return common::AllocBstr(page_->Address().Href().c_str(), p); }

STDMETHODIMP PageDocument::get_parentWindow(IHTMLWindow2** p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    common::ComPtr<IDispatch> window = page_->WindowObject();
    if (!window) return E_FAIL;
    return window->QueryInterface(__uuidof(IHTMLWindow2), reinterpret_cast<void**>(p));
}

STDMETHODIMP PageDocument::toString(BSTR* String) { return common::AllocBstr(L"[object Document]", String); }

}  // namespace pageplayer
