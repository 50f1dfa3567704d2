#include "tools/pageplayer/ElementStyle.h"

#include <cwctype>
#include <new>

#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/ScriptValue.h"
#include "tools/pageplayer/StyleText.h"

namespace pageplayer {

namespace {

const DISPID kCssText = 1;
const DISPID kFirstProperty = 100;
const ScriptMember kMembers[] = {{L"cssText", kCssText, false}};

}  // namespace

HRESULT ElementStyle::Create(const std::shared_ptr<Page>& page, const DomNode::Ptr& node,
                             common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<ElementStyle>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    obj->node_ = node;
    out = static_cast<IDispatch*>(static_cast<IDispatchEx*>(obj));
    return S_OK;
}

const ScriptMember* ElementStyle::Members(size_t& count) const noexcept {
    count = 1;
    return kMembers;
}

HRESULT ElementStyle::OtherDispId(BSTR name, DWORD, DISPID* id) {
    const std::wstring n(name, ::SysStringLen(name));
    if (n.empty() || !std::iswalpha(n[0])) return DISP_E_UNKNOWNNAME;
    for (size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == n) {
            *id = kFirstProperty + static_cast<DISPID>(i);
            return S_OK;
        }
    }
    names_.push_back(n);
    *id = kFirstProperty + static_cast<DISPID>(names_.size() - 1);
    return S_OK;
}

HRESULT ElementStyle::OtherName(DISPID id, BSTR* name) {
    if (id < kFirstProperty || static_cast<size_t>(id - kFirstProperty) >= names_.size()) return DISP_E_MEMBERNOTFOUND;
    *name = ::SysAllocString(names_[static_cast<size_t>(id - kFirstProperty)].c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT ElementStyle::InvokeOther(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                  IServiceProvider*) {
    if (id == DISPID_VALUE) return InvokeMember(kCssText, DISPATCH_PROPERTYGET, params, result);
    if (id < kFirstProperty || static_cast<size_t>(id - kFirstProperty) >= names_.size()) return DISP_E_MEMBERNOTFOUND;
    const std::wstring css = StyleText::CssName(names_[static_cast<size_t>(id - kFirstProperty)]);
    const std::wstring style = node_->AttributeOr(L"style");
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        const VARIANT* value = ScriptValue::PutValue(params);
        if (!value) return DISP_E_BADPARAMCOUNT;
        // Numbers mean pixels, as old browsers took them.
        std::wstring text = ScriptValue::String(value);
        if (!ScriptValue::IsString(value) && (css == L"width" || css == L"height" || css == L"left" || css == L"top"))
            text += L"px";
        node_->SetAttribute(L"style", StyleText::Set(style, css, text));
        page_->Changed();
        return S_OK;
    }
    return ScriptValue::SetString(result, StyleText::Get(style, css));
}

HRESULT ElementStyle::InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) {
    if (id != kCssText) return DISP_E_MEMBERNOTFOUND;
    if (kind == DISPATCH_PROPERTYPUT) {
        node_->SetAttribute(L"style", ScriptValue::String(ScriptValue::PutValue(params)));
        page_->Changed();
        return S_OK;
    }
    return ScriptValue::SetString(result, node_->AttributeOr(L"style"));
}

}  // namespace pageplayer
