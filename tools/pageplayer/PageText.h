#pragma once
// The readable text of a page, as the player draws it and innerText reads it: tags
// stripped, white space collapsed, scripts, styles and hidden elements left out,
// block elements, line breaks and list items starting new lines, form controls shown
// as short bracketed marks ("[ Next ]", "[x]").
#include <string>
#include <vector>

#include "tools/pageplayer/DomNode.h"

namespace pageplayer {

class PageText {
public:
    // The non-empty lines of the page's body (noscript content shows only when the page
    // runs no script).
    static std::vector<std::wstring> Lines(const DomNode& root, bool scriptsEnabled);
    // The rendered text below node, lines joined by "\r\n".
    static std::wstring InnerText(const DomNode& node);
    // The text of the page's <title> element, white space collapsed.
    static std::wstring Title(const DomNode& root);
    // Whether an element is not displayed (hidden attribute, display: none, hidden input).
    static bool IsHidden(const DomNode& element);
};

}  // namespace pageplayer
