#include "tools/pageplayer/PageWindow.h"

#include <cwctype>
#include <new>

#include "common/Bstr.h"
#include "common/Variant.h"
#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

namespace {

enum : DISPID {
    kExternal = 1,
    kSetTimeout,
    kClearTimeout,
    kSetInterval,
    kClearInterval,
    kAlert,
    kConfirm,
    kLocation,
    kNavigate,
    kDocument,
    kOnload,
    kWindow,
    kSelf,
    kTop,
    kParent,
    kExecScript,
    kStatus,
    kClosed,
};

const ScriptMember kMembers[] = {
    {L"external", kExternal, false},       {L"setTimeout", kSetTimeout, true},
    {L"clearTimeout", kClearTimeout, true}, {L"setInterval", kSetInterval, true},
    {L"clearInterval", kClearInterval, true}, {L"alert", kAlert, true},
    {L"confirm", kConfirm, true},          {L"location", kLocation, false},
    {L"navigate", kNavigate, true},        {L"document", kDocument, false},
    {L"onload", kOnload, false},           {L"window", kWindow, false},
    {L"self", kSelf, false},               {L"top", kTop, false},
    {L"parent", kParent, false},           {L"execScript", kExecScript, true},
    {L"status", kStatus, false},           {L"closed", kClosed, false},
};

// The languages execScript runs: JScript under any of its names (empty means JScript).
bool IsJScriptLanguage(BSTR language) {
    std::wstring l(language ? language : L"");
    for (auto& c : l) c = static_cast<wchar_t>(std::towlower(c));
    return l.empty() || l == L"jscript" || l == L"ecmascript" || l.compare(0, 10, L"javascript") == 0;
}

struct ExecuteRequest {
    Page* page;
    const std::wstring* code;
};

HRESULT ExecuteRequestOnThread(void* argument) {
    auto* r = static_cast<ExecuteRequest*>(argument);
    return r->page->Execute(*r->code);
}

}  // namespace

HRESULT PageWindow::Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<PageWindow>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    obj->thread_ = ::GetCurrentThreadId();
    out = static_cast<IDispatch*>(static_cast<IDispatchEx*>(obj));
    return S_OK;
}

const ScriptMember* PageWindow::Members(size_t& count) const noexcept {
    count = sizeof(kMembers) / sizeof(kMembers[0]);
    return kMembers;
}

HRESULT PageWindow::OtherDispId(BSTR name, DWORD grfdex, DISPID* id) { return page_->GlobalDispId(name, grfdex, id); }

HRESULT PageWindow::OtherName(DISPID id, BSTR* name) { return page_->GlobalName(id, name); }

HRESULT PageWindow::InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excep, IServiceProvider* caller) {
    if (id == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET)) return ScriptValue::SetString(result, L"[object Window]");
    return page_->InvokeGlobal(id, lcid, flags, params, result, excep, caller);
}

HRESULT PageWindow::Timer(const VARIANT* handler, LONG ms, bool repeat, LONG* id) {
    if (id) *id = 0;
    if (!handler) return E_INVALIDARG;
    LONG timer = page_->SetTimer(handler, ms, {}, repeat);
    if (id) *id = timer;
    return timer ? S_OK : E_FAIL;
}

HRESULT PageWindow::InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) {
    const bool put = kind == DISPATCH_PROPERTYPUT;
    switch (id) {
    case kExternal:
        return put ? S_OK : ScriptValue::SetObject(result, page_->External().get());
    case kSetTimeout:
    case kSetInterval: {
        std::vector<common::Variant> extra;
        for (UINT i = 2; i < ScriptValue::Count(params); ++i) {
            extra.emplace_back();
            extra.back().CopyFrom(ScriptValue::Arg(params, i));
        }
        LONG timer = page_->SetTimer(ScriptValue::Arg(params, 0), ScriptValue::Int(ScriptValue::Arg(params, 1)),
                                     std::move(extra), id == kSetInterval);
        return ScriptValue::SetInt(result, timer);
    }
    case kClearTimeout:
    case kClearInterval:
        page_->ClearTimer(ScriptValue::Int(ScriptValue::Arg(params, 0)));
        return S_OK;
    case kAlert:
        page_->Alert(ScriptValue::String(ScriptValue::Arg(params, 0)), L"alert");
        return S_OK;
    case kConfirm:
        page_->Alert(ScriptValue::String(ScriptValue::Arg(params, 0)), L"confirm");
        return ScriptValue::SetBool(result, true);
    case kLocation:
        if (put) {
            page_->Navigate(ScriptValue::String(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetObject(result, page_->LocationObject().get());
    case kNavigate:
        page_->Navigate(ScriptValue::String(ScriptValue::Arg(params, 0)));
        return S_OK;
    case kDocument:
        return put ? S_OK : ScriptValue::SetObject(result, page_->DocumentObject().get());
    case kOnload:
        if (put) {
            page_->SetOnload(ScriptValue::Object(ScriptValue::PutValue(params)));
            return S_OK;
        }
        return ScriptValue::SetObject(result, page_->Onload().get());
    case kWindow:
    case kSelf:
    case kTop:
    case kParent:
        return put ? S_OK : ScriptValue::SetObject(result, static_cast<IDispatchEx*>(this));
    case kExecScript: {
        const VARIANT* language = ScriptValue::Arg(params, 1);
        common::Bstr lang(language ? ScriptValue::String(language).c_str() : L"");
        if (!IsJScriptLanguage(lang.get())) return E_INVALIDARG;
        return page_->Execute(ScriptValue::String(ScriptValue::Arg(params, 0)));
    }
    case kStatus:
        if (put) {
            status_ = ScriptValue::String(ScriptValue::PutValue(params));
            return S_OK;
        }
        return ScriptValue::SetString(result, status_);
    case kClosed:
        return put ? S_OK : ScriptValue::SetBool(result, false);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT PageWindow::Self(IHTMLWindow2** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IHTMLWindow2*>(this);
    (*out)->AddRef();
    return S_OK;
}

HRESULT PageWindow::ExecuteOnPageThread(const std::wstring& code) {
    if (::GetCurrentThreadId() == thread_) return page_->Execute(code);
    // The engine lives on the page's thread: run the code there and wait for it.
    PageOwner* owner = page_->Owner();
    if (!owner) return E_UNEXPECTED;
    ExecuteRequest request = {page_.get(), &code};
    PageThreadCall call = {&ExecuteRequestOnThread, &request};
    DWORD_PTR answer = static_cast<DWORD_PTR>(E_FAIL);
    if (!::SendMessageTimeoutW(owner->TimerWindow(), kRunOnPageThread, 0, reinterpret_cast<LPARAM>(&call),
                               SMTO_NORMAL, 60000, &answer))
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    return static_cast<HRESULT>(answer);
}

STDMETHODIMP PageWindow::get_length(LONG* p) {
    if (!p) return E_POINTER;
    *p = 0;  // no frames
    return S_OK;
}

STDMETHODIMP PageWindow::put_status(BSTR v) {
    status_ = v ? v : L"";
    return S_OK;
}

STDMETHODIMP PageWindow::get_status(BSTR* p) { return common::AllocBstr(status_.c_str(), p); }

STDMETHODIMP PageWindow::setTimeout(BSTR expression, LONG msec, VARIANT*, LONG* timerID) {
    common::Variant code(expression ? expression : L"");
    return Timer(code.get(), msec, false, timerID);
}

STDMETHODIMP PageWindow::clearTimeout(LONG timerID) {
    page_->ClearTimer(timerID);
    return S_OK;
}

STDMETHODIMP PageWindow::setInterval(BSTR expression, LONG msec, VARIANT*, LONG* timerID) {
    common::Variant code(expression ? expression : L"");
    return Timer(code.get(), msec, true, timerID);
}

STDMETHODIMP PageWindow::clearInterval(LONG timerID) {
    page_->ClearTimer(timerID);
    return S_OK;
}

STDMETHODIMP PageWindow::alert(BSTR message) {
    page_->Alert(common::BstrText(message), L"alert");
    return S_OK;
}

STDMETHODIMP PageWindow::confirm(BSTR message, VARIANT_BOOL* confirmed) {
    page_->Alert(common::BstrText(message), L"confirm");
    if (confirmed) *confirmed = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP PageWindow::get_parent(IHTMLWindow2** p) { return Self(p); }
STDMETHODIMP PageWindow::get_self(IHTMLWindow2** p) { return Self(p); }
STDMETHODIMP PageWindow::get_top(IHTMLWindow2** p) { return Self(p); }
STDMETHODIMP PageWindow::get_window(IHTMLWindow2** p) { return Self(p); }

STDMETHODIMP PageWindow::navigate(BSTR url) {
    try {
        page_->Navigate(common::BstrText(url));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP PageWindow::put_onload(VARIANT v) {
    page_->SetOnload(ScriptValue::Object(&v));
    return S_OK;
}

STDMETHODIMP PageWindow::get_onload(VARIANT* p) {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    return ScriptValue::SetObject(p, page_->Onload().get());
}

STDMETHODIMP PageWindow::get_document(IHTMLDocument2** p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    common::ComPtr<IDispatch> document = page_->DocumentObject();
    if (!document) return E_FAIL;
    return document->QueryInterface(__uuidof(IHTMLDocument2), reinterpret_cast<void**>(p));
}

STDMETHODIMP PageWindow::focus() { return S_OK; }
STDMETHODIMP PageWindow::blur() { return S_OK; }

STDMETHODIMP PageWindow::get_closed(VARIANT_BOOL* p) {
    if (!p) return E_POINTER;
    *p = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PageWindow::execScript(BSTR code, BSTR language, VARIANT* pvarRet) {
    if (pvarRet) ::VariantInit(pvarRet);
    if (!IsJScriptLanguage(language)) return E_INVALIDARG;
    try {
        return ExecuteOnPageThread(common::BstrText(code));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP PageWindow::toString(BSTR* String) { return common::AllocBstr(L"[object Window]", String); }

STDMETHODIMP PageWindow::get_external(IDispatch** p) {
    if (!p) return E_POINTER;
    *p = page_->External().Detach();
    return *p ? S_OK : S_FALSE;
}

}  // namespace pageplayer
