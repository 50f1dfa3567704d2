#include "tools/pageplayer/DomNode.h"

#include <cwctype>

namespace pageplayer {

namespace {

std::wstring Lower(const std::wstring& s) {
    std::wstring out = s;
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

bool IsVoid(const std::wstring& tag) {
    static const wchar_t* const kVoid[] = {L"area", L"base", L"br", L"col", L"embed", L"hr", L"img", L"input",
                                           L"link", L"meta", L"param", L"source", L"track", L"wbr"};
    for (auto* v : kVoid)
        if (tag == v) return true;
    return false;
}

void Escape(const std::wstring& text, bool attribute, std::wstring& out) {
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"':
            if (attribute)
                out += L"&quot;";
            else
                out += c;
            break;
        case 0xA0: out += L"&nbsp;"; break;
        default: out += c;
        }
    }
}

void WriteNode(const DomNode& node, std::wstring& out) {
    if (!node.IsElement()) {
        const auto parent = node.Parent();
        if (parent && (parent->Is(L"script") || parent->Is(L"style")))
            out += node.text();
        else
            Escape(node.text(), false, out);
        return;
    }
    out += L'<';
    out += node.tag();
    for (const auto& a : node.attributes()) {
        out += L' ';
        out += a.first;
        out += L"=\"";
        Escape(a.second, true, out);
        out += L'"';
    }
    out += L'>';
    if (IsVoid(node.tag())) return;
    for (const auto& c : node.children()) WriteNode(*c, out);
    out += L"</";
    out += node.tag();
    out += L'>';
}

}  // namespace

DomNode::Ptr DomNode::Element(const std::wstring& tag) {
    auto n = std::make_shared<DomNode>();
    n->kind_ = Kind::Element;
    n->tag_ = Lower(tag);
    return n;
}

DomNode::Ptr DomNode::Text(const std::wstring& text) {
    auto n = std::make_shared<DomNode>();
    n->kind_ = Kind::Text;
    n->text_ = text;
    return n;
}

const std::wstring* DomNode::Attribute(const std::wstring& name) const {
    const std::wstring key = Lower(name);
    for (const auto& a : attributes_)
        if (a.first == key) return &a.second;
    return nullptr;
}

std::wstring DomNode::AttributeOr(const std::wstring& name, const std::wstring& fallback) const {
    const std::wstring* v = Attribute(name);
    return v ? *v : fallback;
}

void DomNode::SetAttribute(const std::wstring& name, const std::wstring& value) {
    const std::wstring key = Lower(name);
    for (auto& a : attributes_) {
        if (a.first == key) {
            a.second = value;
            return;
        }
    }
    attributes_.emplace_back(key, value);
}

void DomNode::RemoveAttribute(const std::wstring& name) {
    const std::wstring key = Lower(name);
    for (auto it = attributes_.begin(); it != attributes_.end(); ++it) {
        if (it->first == key) {
            attributes_.erase(it);
            return;
        }
    }
}

void DomNode::Append(const Ptr& child) {
    child->parent_ = shared_from_this();
    children_.push_back(child);
}

void DomNode::ReplaceChildren(std::vector<Ptr> children) {
    for (auto& c : children_) c->parent_.reset();
    children_.clear();
    for (auto& c : children) Append(c);
}

DomNode::Ptr DomNode::FindById(const std::wstring& id) const {
    for (const auto& c : children_) {
        if (!c->IsElement()) continue;
        const std::wstring* v = c->Attribute(L"id");
        if (v && *v == id) return c;
        if (auto found = c->FindById(id)) return found;
    }
    return nullptr;
}

DomNode::Ptr DomNode::FindTag(const wchar_t* tag) const {
    for (const auto& c : children_) {
        if (c->Is(tag)) return c;
        if (auto found = c->FindTag(tag)) return found;
    }
    return nullptr;
}

bool DomNode::IsInside(const DomNode* root) const {
    const DomNode* n = this;
    std::shared_ptr<DomNode> hold;
    while (n) {
        if (n == root) return true;
        hold = n->parent_.lock();
        n = hold.get();
    }
    return false;
}

std::wstring DomNode::TextContent() const {
    if (!IsElement()) return text_;
    std::wstring out;
    for (const auto& c : children_) out += c->TextContent();
    return out;
}

std::wstring DomNode::InnerHtml() const {
    std::wstring out;
    for (const auto& c : children_) WriteNode(*c, out);
    return out;
}

}  // namespace pageplayer
