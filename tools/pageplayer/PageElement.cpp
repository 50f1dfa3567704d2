#include "tools/pageplayer/PageElement.h"

#include <cwctype>
#include <new>

#include "common/Variant.h"
#include "tools/pageplayer/ElementStyle.h"
#include "tools/pageplayer/HtmlParser.h"
#include "tools/pageplayer/Page.h"
#include "tools/pageplayer/PageText.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

namespace {

enum : DISPID {
    kId = 1,
    kTagName,
    kValue,
    kInnerText,
    kInnerHtml,
    kTextContent,
    kChecked,
    kDisabled,
    kStyle,
    kOnclick,
    kClick,
    kClassName,
    kGetAttribute,
    kSetAttribute,
    kRemoveAttribute,
    kFocus,
    kBlur,
    kHref,
    kType,
    kName,
};

const ScriptMember kMembers[] = {
    {L"id", kId, false},
    {L"tagName", kTagName, false},
    {L"value", kValue, false},
    {L"innerText", kInnerText, false},
    {L"innerHTML", kInnerHtml, false},
    {L"textContent", kTextContent, false},
    {L"checked", kChecked, false},
    {L"disabled", kDisabled, false},
    {L"style", kStyle, false},
    {L"onclick", kOnclick, false},
    {L"click", kClick, true},
    {L"className", kClassName, false},
    {L"getAttribute", kGetAttribute, true},
    {L"setAttribute", kSetAttribute, true},
    {L"removeAttribute", kRemoveAttribute, true},
    {L"focus", kFocus, true},
    {L"blur", kBlur, true},
    {L"href", kHref, false},
    {L"type", kType, false},
    {L"name", kName, false},
};

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring Upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

// The options of a select element, in order.
void Options(const DomNode::Ptr& node, std::vector<DomNode::Ptr>& out) {
    for (const auto& c : node->children()) {
        if (c->Is(L"option"))
            out.push_back(c);
        else if (c->IsElement())
            Options(c, out);
    }
}

std::wstring OptionValue(const DomNode& option) {
    if (const std::wstring* v = option.Attribute(L"value")) return *v;
    return PageText::InnerText(option);
}

}  // namespace

HRESULT PageElement::Create(const std::shared_ptr<Page>& page, const DomNode::Ptr& node,
                            common::ComPtr<IDispatch>& out) {
    auto* obj = new (std::nothrow) common::ComObject<PageElement>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    obj->node_ = node;
    out = static_cast<IDispatch*>(static_cast<IDispatchEx*>(obj));
    return S_OK;
}

const ScriptMember* PageElement::Members(size_t& count) const noexcept {
    count = sizeof(kMembers) / sizeof(kMembers[0]);
    return kMembers;
}

HRESULT PageElement::InvokeOther(DISPID id, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                 IServiceProvider*) {
    if (id == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET))
        return ScriptValue::SetString(result, L"[object HTML" + Upper(node_->tag().substr(0, 1)) + node_->tag().substr(1) +
                                                  L"Element]");
    return DISP_E_MEMBERNOTFOUND;
}

std::wstring PageElement::Value() const {
    if (node_->Is(L"textarea")) return node_->TextContent();
    if (node_->Is(L"select")) {
        std::vector<DomNode::Ptr> options;
        Options(node_, options);
        for (const auto& o : options)
            if (o->HasAttribute(L"selected")) return OptionValue(*o);
        return options.empty() ? std::wstring() : OptionValue(*options.front());
    }
    return node_->AttributeOr(L"value");
}

void PageElement::SetValue(const std::wstring& value) {
    if (node_->Is(L"textarea")) {
        node_->ReplaceChildren({DomNode::Text(value)});
    } else if (node_->Is(L"select")) {
        std::vector<DomNode::Ptr> options;
        Options(node_, options);
        bool chosen = false;
        for (const auto& o : options) {
            const bool match = !chosen && OptionValue(*o) == value;
            if (match)
                o->SetAttribute(L"selected", L"selected");
            else
                o->RemoveAttribute(L"selected");
            chosen = chosen || match;
        }
    } else {
        node_->SetAttribute(L"value", value);
    }
    page_->Changed();
}

void PageElement::SetText(const std::wstring& text, bool lineBreaks) {
    std::vector<DomNode::Ptr> children;
    if (!lineBreaks) {
        if (!text.empty()) children.push_back(DomNode::Text(text));
    } else {
        // innerText: each line break becomes a <br>.
        size_t start = 0;
        for (;;) {
            size_t end = text.find_first_of(L"\r\n", start);
            const std::wstring part = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
            if (!part.empty()) children.push_back(DomNode::Text(part));
            if (end == std::wstring::npos) break;
            children.push_back(DomNode::Element(L"br"));
            start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
        }
    }
    node_->ReplaceChildren(std::move(children));
    page_->Changed();
}

void PageElement::SetFlag(const wchar_t* attribute, bool on) {
    if (on)
        node_->SetAttribute(attribute, attribute);
    else
        node_->RemoveAttribute(attribute);
    page_->Changed();
}

HRESULT PageElement::Click() {
    if (node_->HasAttribute(L"disabled")) return S_OK;  // disabled controls ignore clicks
    const std::wstring type = Lower(node_->AttributeOr(L"type"));
    if (node_->Is(L"input") && type == L"checkbox") SetFlag(L"checked", !node_->HasAttribute(L"checked"));
    if (node_->Is(L"input") && type == L"radio") SetFlag(L"checked", true);
    common::ComPtr<IDispatch> handler = onclickSet_ ? onclick_ : page_->Handler(node_, L"onclick");
    bool cancelled = false;
    if (handler) {
        common::Variant result;
        // An exception in the handler is reported to the page's error log, not to the
        // caller of click(), as in a browser.
        if (SUCCEEDED(page_->Call(handler.get(), static_cast<IDispatchEx*>(this), {}, result.get())))
            cancelled = result.vt() == VT_BOOL && V_BOOL(result.get()) == VARIANT_FALSE;
    }
    if (!cancelled && node_->Is(L"a") && node_->HasAttribute(L"href")) page_->Navigate(node_->AttributeOr(L"href"));
    return S_OK;
}

HRESULT PageElement::InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) {
    const bool put = kind == DISPATCH_PROPERTYPUT;
    const VARIANT* value = put ? ScriptValue::PutValue(params) : nullptr;
    // A property backed by one attribute.
    auto attribute = [&](const wchar_t* name) -> HRESULT {
        if (put) {
            node_->SetAttribute(name, ScriptValue::String(value));
            page_->Changed();
            return S_OK;
        }
        return ScriptValue::SetString(result, node_->AttributeOr(name));
    };
    switch (id) {
    case kId: return attribute(L"id");
    case kClassName: return attribute(L"class");
    case kName: return attribute(L"name");
    case kTagName: return put ? S_OK : ScriptValue::SetString(result, Upper(node_->tag()));
    case kType:
        if (put) return attribute(L"type");
        return ScriptValue::SetString(result, Lower(node_->AttributeOr(L"type", node_->Is(L"input") ? L"text" : L"")));
    case kHref:
        if (put) return attribute(L"href");
        if (!node_->HasAttribute(L"href")) return ScriptValue::SetString(result, L"");
        return ScriptValue::SetString(result, PageAddress::Resolve(node_->AttributeOr(L"href"), &page_->Address()).Href());
    case kValue:
        if (put) {
            SetValue(ScriptValue::String(value));
            return S_OK;
        }
        return ScriptValue::SetString(result, Value());
    case kInnerText:
        if (put) {
            SetText(ScriptValue::String(value), true);
            return S_OK;
        }
        return ScriptValue::SetString(result, PageText::InnerText(*node_));
    case kTextContent:
        if (put) {
            SetText(ScriptValue::String(value), false);
            return S_OK;
        }
        return ScriptValue::SetString(result, node_->TextContent());
    case kInnerHtml:
        if (put) {
            node_->ReplaceChildren(HtmlParser::ParseFragment(ScriptValue::String(value)));
            page_->Changed();
            return S_OK;
        }
        return ScriptValue::SetString(result, node_->InnerHtml());
    case kChecked:
        if (put) {
            SetFlag(L"checked", ScriptValue::Bool(value));
            return S_OK;
        }
        return ScriptValue::SetBool(result, node_->HasAttribute(L"checked"));
    case kDisabled:
        if (put) {
            SetFlag(L"disabled", ScriptValue::Bool(value));
            return S_OK;
        }
        return ScriptValue::SetBool(result, node_->HasAttribute(L"disabled"));
    case kStyle:
        if (put) return S_OK;
        if (!style_) {
            HRESULT hr = ElementStyle::Create(page_, node_, style_);
            if (FAILED(hr)) return hr;
        }
        return ScriptValue::SetObject(result, style_.get());
    case kOnclick:
        if (put) {
            onclick_ = ScriptValue::Object(value);
            onclickSet_ = true;
            return S_OK;
        }
        return ScriptValue::SetObject(result, (onclickSet_ ? onclick_ : page_->Handler(node_, L"onclick")).get());
    case kClick: return Click();
    case kGetAttribute: {
        const std::wstring* v = node_->Attribute(ScriptValue::String(ScriptValue::Arg(params, 0)));
        return v ? ScriptValue::SetString(result, *v) : ScriptValue::SetNull(result);
    }
    case kSetAttribute:
    case kRemoveAttribute: {
        const std::wstring name = Lower(ScriptValue::String(ScriptValue::Arg(params, 0)));
        if (id == kSetAttribute)
            node_->SetAttribute(name, ScriptValue::String(ScriptValue::Arg(params, 1)));
        else
            node_->RemoveAttribute(name);
        if (name.compare(0, 2, L"on") == 0) page_->ForgetHandler(node_, name);  // compiled again when needed
        page_->Changed();
        return S_OK;
    }
    case kFocus:
    case kBlur: return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace pageplayer
