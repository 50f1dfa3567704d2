#pragma once
// One node of a page's document tree: an element (tag name in lower case, attributes
// in source order with lower-case names, children) or a run of text. Nodes are shared:
// script objects keep the nodes they stand for, even after the nodes left the tree.
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pageplayer {

class DomNode : public std::enable_shared_from_this<DomNode> {
public:
    enum class Kind { Element, Text };
    using Ptr = std::shared_ptr<DomNode>;

    static Ptr Element(const std::wstring& tag);
    static Ptr Text(const std::wstring& text);

    Kind kind() const { return kind_; }
    bool IsElement() const { return kind_ == Kind::Element; }
    bool Is(const wchar_t* tag) const { return kind_ == Kind::Element && tag_ == tag; }
    const std::wstring& tag() const { return tag_; }
    const std::wstring& text() const { return text_; }
    void SetText(const std::wstring& text) { text_ = text; }
    // The source line (counted from 0) where the element's content starts.
    unsigned long line() const { return line_; }
    void SetLine(unsigned long line) { line_ = line; }

    // Attributes; names are compared in lower case.
    const std::wstring* Attribute(const std::wstring& name) const;
    std::wstring AttributeOr(const std::wstring& name, const std::wstring& fallback = std::wstring()) const;
    bool HasAttribute(const std::wstring& name) const { return Attribute(name) != nullptr; }
    void SetAttribute(const std::wstring& name, const std::wstring& value);
    void RemoveAttribute(const std::wstring& name);
    const std::vector<std::pair<std::wstring, std::wstring>>& attributes() const { return attributes_; }

    const std::vector<Ptr>& children() const { return children_; }
    Ptr Parent() const { return parent_.lock(); }
    void Append(const Ptr& child);
    // Replaces every child (the old ones are detached from this node).
    void ReplaceChildren(std::vector<Ptr> children);

    // The first element in document order below this node (itself excluded) whose
    // id attribute equals id.
    Ptr FindById(const std::wstring& id) const;
    // The first descendant element with this tag name.
    Ptr FindTag(const wchar_t* tag) const;
    // Whether this node is still inside root's tree (root itself included).
    bool IsInside(const DomNode* root) const;

    // The concatenated text of every text node below (script and style included).
    std::wstring TextContent() const;
    // The markup of the children, as innerHTML reads it.
    std::wstring InnerHtml() const;

private:
    Kind kind_ = Kind::Text;
    std::wstring tag_;
    std::wstring text_;
    unsigned long line_ = 0;
    std::vector<std::pair<std::wstring, std::wstring>> attributes_;
    std::vector<Ptr> children_;
    std::weak_ptr<DomNode> parent_;
};

}  // namespace pageplayer
