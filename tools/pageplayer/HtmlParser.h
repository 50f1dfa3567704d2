#pragma once
// A forgiving HTML reader for the pages the player shows: start and end tags with
// attributes (quoted or not), comments, void elements, raw script and style content,
// character references, and the implicit ends of p, li, option, table cells and rows.
// It builds a DomNode tree; it never fails, whatever the input.
#include <string>
#include <vector>

#include "tools/pageplayer/DomNode.h"

namespace pageplayer {

class HtmlParser {
public:
    // A whole page: a "#document" node whose children are the page's top nodes.
    static DomNode::Ptr Parse(const std::wstring& html);
    // Markup assigned to innerHTML: the nodes it makes.
    static std::vector<DomNode::Ptr> ParseFragment(const std::wstring& html);

    // The text of a page file: a byte-order mark decides, else UTF-8 when the bytes are
    // valid UTF-8, else Windows-1252. Line ends become "\n".
    static std::wstring DecodeBytes(const std::string& bytes);
    // Replaces character references (&amp; &#233; &#xE9; &eacute; ...) by their characters.
    static std::wstring DecodeEntities(const std::wstring& text);

private:
    explicit HtmlParser(const std::wstring& html);
    void Run(const DomNode::Ptr& root);
    void StartTag();
    void EndTag();
    void Characters();
    void CloseImplied(const std::wstring& tag);
    void PopTo(size_t index);
    unsigned long LineAt(size_t pos);

    const std::wstring& html_;
    size_t pos_ = 0;
    size_t linePos_ = 0;
    unsigned long line_ = 0;
    std::vector<DomNode::Ptr> open_;
};

}  // namespace pageplayer
