#include "tools/pageplayer/PageText.h"

#include <cwctype>

#include "tools/pageplayer/StyleText.h"

namespace pageplayer {

namespace {

bool OneOf(const std::wstring& tag, std::initializer_list<const wchar_t*> set) {
    for (auto* s : set)
        if (tag == s) return true;
    return false;
}

bool IsBlock(const std::wstring& tag) {
    return OneOf(tag, {L"p", L"div", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"ul", L"ol", L"dl", L"dt", L"dd",
                       L"table", L"tr", L"form", L"center", L"blockquote", L"pre", L"body", L"html", L"section",
                       L"article", L"header", L"footer", L"nav", L"address", L"fieldset", L"legend", L"caption",
                       L"main", L"aside", L"figure", L"figcaption", L"thead", L"tbody", L"tfoot"});
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Collects lines: runs of white space become one space, lines are trimmed, empty
// lines dropped.
class LineBuilder {
public:
    void Text(const std::wstring& text, bool pre) {
        for (wchar_t c : text) {
            if (pre && c == L'\n') {
                Break();
            } else if (!pre && std::iswspace(c) && c != 0xA0) {
                space_ = !line_.empty();
            } else {
                Char(c == 0xA0 || c == L'\t' ? L' ' : c);
            }
        }
    }
    void Inline(const std::wstring& text) {
        for (wchar_t c : text) Char(c);
    }
    void Space() { space_ = !line_.empty(); }
    void Break() {
        while (!line_.empty() && line_.back() == L' ') line_.pop_back();
        if (!line_.empty()) lines_.push_back(line_);
        line_.clear();
        space_ = false;
    }
    std::vector<std::wstring> Finish() {
        Break();
        return std::move(lines_);
    }

private:
    void Char(wchar_t c) {
        if (space_) {
            line_ += L' ';
            space_ = false;
        }
        line_ += c;
    }
    std::vector<std::wstring> lines_;
    std::wstring line_;
    bool space_ = false;
};

std::wstring Collapse(const std::wstring& text) {
    LineBuilder b;
    b.Text(text, false);
    std::wstring out;
    for (auto& l : b.Finish()) out += l;
    return out;
}

class Walker {
public:
    explicit Walker(bool scripts) : scripts_(scripts) {}
    LineBuilder builder;

    void Children(const DomNode& node, bool pre) {
        for (const auto& c : node.children()) Node(*c, pre);
    }

    void Node(const DomNode& node, bool pre) {
        if (!node.IsElement()) {
            builder.Text(node.text(), pre);
            return;
        }
        const std::wstring& tag = node.tag();
        if (OneOf(tag, {L"script", L"style", L"head", L"title", L"meta", L"link", L"template", L"object", L"param"}))
            return;
        if (tag == L"noscript" && scripts_) return;
        if (PageText::IsHidden(node)) return;
        if (tag == L"br") {
            builder.Break();
        } else if (tag == L"input") {
            Input(node);
        } else if (tag == L"img") {
            builder.Inline(node.AttributeOr(L"alt"));
        } else if (tag == L"button") {
            builder.Inline(L"[ ");
            Children(node, pre);
            builder.Inline(L" ]");
        } else if (tag == L"select") {
            Select(node);
        } else if (tag == L"textarea") {
            builder.Inline(L"[" + node.TextContent() + L"]");
        } else if (tag == L"hr") {
            builder.Break();
            builder.Inline(L"----------");
            builder.Break();
        } else if (tag == L"li") {
            builder.Break();
            builder.Inline(L"\x2022 ");
            Children(node, pre);
            builder.Break();
        } else if (tag == L"td" || tag == L"th") {
            builder.Space();
            Children(node, pre);
            builder.Space();
        } else if (IsBlock(tag)) {
            builder.Break();
            Children(node, pre || tag == L"pre");
            builder.Break();
        } else {
            Children(node, pre);
        }
    }

private:
    void Input(const DomNode& node) {
        const std::wstring type = Lower(node.AttributeOr(L"type", L"text"));
        const std::wstring value = node.AttributeOr(L"value");
        if (type == L"checkbox") {
            builder.Inline(node.HasAttribute(L"checked") ? L"[x]" : L"[ ]");
        } else if (type == L"radio") {
            builder.Inline(node.HasAttribute(L"checked") ? L"(o)" : L"( )");
        } else if (type == L"button" || type == L"submit" || type == L"reset") {
            builder.Inline(L"[ " + (value.empty() && type != L"button" ? (type == L"submit" ? L"Submit" : L"Reset")
                                                                       : value) + L" ]");
        } else if (type == L"image") {
            builder.Inline(node.AttributeOr(L"alt"));
        } else if (type == L"password") {
            builder.Inline(L"[" + std::wstring(value.size(), L'*') + L"]");
        } else {
            builder.Inline(L"[" + value + L"]");
        }
    }
    void Select(const DomNode& node) {
        const DomNode* chosen = nullptr;
        const DomNode* first = nullptr;
        std::vector<const DomNode*> pending{&node};
        while (!pending.empty()) {
            const DomNode* n = pending.back();
            pending.pop_back();
            for (auto it = n->children().rbegin(); it != n->children().rend(); ++it) pending.push_back(it->get());
            if (n->Is(L"option")) {
                if (!first) first = n;
                if (!chosen && n->HasAttribute(L"selected")) chosen = n;
            }
        }
        if (!chosen) chosen = first;
        builder.Inline(L"[" + (chosen ? Collapse(chosen->TextContent()) : std::wstring()) + L"]");
    }

    bool scripts_;
};

}  // namespace

bool PageText::IsHidden(const DomNode& element) {
    if (!element.IsElement()) return false;
    if (element.HasAttribute(L"hidden")) return true;
    if (element.Is(L"input") && Lower(element.AttributeOr(L"type")) == L"hidden") return true;
    return Lower(StyleText::Get(element.AttributeOr(L"style"), L"display")) == L"none";
}

std::vector<std::wstring> PageText::Lines(const DomNode& root, bool scriptsEnabled) {
    Walker w(scriptsEnabled);
    w.Children(root, false);
    return w.builder.Finish();
}

std::wstring PageText::InnerText(const DomNode& node) {
    Walker w(true);
    w.Children(node, node.Is(L"pre"));
    std::wstring out;
    for (const auto& line : w.builder.Finish()) {
        if (!out.empty()) out += L"\r\n";
        out += line;
    }
    return out;
}

std::wstring PageText::Title(const DomNode& root) {
    auto title = root.FindTag(L"title");
    return title ? Collapse(title->TextContent()) : std::wstring();
}

}  // namespace pageplayer
