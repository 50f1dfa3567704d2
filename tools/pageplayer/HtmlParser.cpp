#include "tools/pageplayer/HtmlParser.h"

#include <windows.h>

#include <cwctype>

namespace pageplayer {

namespace {

// Latin-1 names for the characters 160 to 255, in order.
const wchar_t* const kLatin1[] = {
    L"nbsp",   L"iexcl",  L"cent",   L"pound",  L"curren", L"yen",    L"brvbar", L"sect",   L"uml",    L"copy",
    L"ordf",   L"laquo",  L"not",    L"shy",    L"reg",    L"macr",   L"deg",    L"plusmn", L"sup2",   L"sup3",
    L"acute",  L"micro",  L"para",   L"middot", L"cedil",  L"sup1",   L"ordm",   L"raquo",  L"frac14", L"frac12",
    L"frac34", L"iquest", L"Agrave", L"Aacute", L"Acirc",  L"Atilde", L"Auml",   L"Aring",  L"AElig",  L"Ccedil",
    L"Egrave", L"Eacute", L"Ecirc",  L"Euml",   L"Igrave", L"Iacute", L"Icirc",  L"Iuml",   L"ETH",    L"Ntilde",
    L"Ograve", L"Oacute", L"Ocirc",  L"Otilde", L"Ouml",   L"times",  L"Oslash", L"Ugrave", L"Uacute", L"Ucirc",
    L"Uuml",   L"Yacute", L"THORN",  L"szlig",  L"agrave", L"aacute", L"acirc",  L"atilde", L"auml",   L"aring",
    L"aelig",  L"ccedil", L"egrave", L"eacute", L"ecirc",  L"euml",   L"igrave", L"iacute", L"icirc",  L"iuml",
    L"eth",    L"ntilde", L"ograve", L"oacute", L"ocirc",  L"otilde", L"ouml",   L"divide", L"oslash", L"ugrave",
    L"uacute", L"ucirc",  L"uuml",   L"yacute", L"thorn",  L"yuml"};

struct NamedChar {
    const wchar_t* name;
    unsigned code;
};
const NamedChar kNamed[] = {{L"amp", '&'},     {L"lt", '<'},       {L"gt", '>'},      {L"quot", '"'},
                            {L"apos", '\''},   {L"euro", 0x20AC},  {L"hellip", 0x2026}, {L"mdash", 0x2014},
                            {L"ndash", 0x2013}, {L"lsquo", 0x2018}, {L"rsquo", 0x2019}, {L"ldquo", 0x201C},
                            {L"rdquo", 0x201D}, {L"bull", 0x2022},  {L"trade", 0x2122}, {L"OElig", 0x152},
                            {L"oelig", 0x153},  {L"Scaron", 0x160}, {L"scaron", 0x161}, {L"Yuml", 0x178},
                            {L"ensp", 0x2002},  {L"emsp", 0x2003},  {L"thinsp", 0x2009}};

// Appends a code point as UTF-16; invalid ones become U+FFFD.
void AppendCodePoint(unsigned long cp, std::wstring& out) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        out += static_cast<wchar_t>(0xFFFD);
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

bool IsNameChar(wchar_t c) { return std::iswalnum(c) || c == L'-' || c == L'_' || c == L':' || c == L'.'; }

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

bool IsVoid(const std::wstring& tag) {
    static const wchar_t* const kVoid[] = {L"area", L"base", L"br", L"col", L"embed", L"hr", L"img", L"input",
                                           L"link", L"meta", L"param", L"source", L"track", L"wbr"};
    for (auto* v : kVoid)
        if (tag == v) return true;
    return false;
}

// Elements whose content is not markup: script and style keep it as it is; title and
// textarea decode character references only.
bool IsRawText(const std::wstring& tag) { return tag == L"script" || tag == L"style" || tag == L"xmp"; }
bool IsEscapableRawText(const std::wstring& tag) { return tag == L"title" || tag == L"textarea"; }

bool OneOf(const std::wstring& tag, std::initializer_list<const wchar_t*> set) {
    for (auto* s : set)
        if (tag == s) return true;
    return false;
}

}  // namespace

std::wstring HtmlParser::DecodeEntities(const std::wstring& text) {
    if (text.find(L'&') == std::wstring::npos) return text;
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        size_t j = i + 1;
        if (j < text.size() && text[j] == L'#') {
            ++j;
            const bool hex = j < text.size() && (text[j] == L'x' || text[j] == L'X');
            if (hex) ++j;
            size_t start = j;
            unsigned long cp = 0;
            while (j < text.size() && (hex ? std::iswxdigit(text[j]) : std::iswdigit(text[j])) && j - start < 8) {
                cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(std::iswdigit(text[j]) ? text[j] - L'0'
                                                                       : std::towlower(text[j]) - L'a' + 10);
                ++j;
            }
            if (j == start) {
                out += L'&';
                continue;
            }
            if (j < text.size() && text[j] == L';') ++j;
            AppendCodePoint(cp, out);
            i = j - 1;
            continue;
        }
        size_t start = j;
        while (j < text.size() && std::iswalnum(text[j]) && j - start < 10) ++j;
        if (j == start || j >= text.size() || text[j] != L';') {
            out += L'&';
            continue;
        }
        const std::wstring name = text.substr(start, j - start);
        unsigned long cp = 0;
        for (const auto& n : kNamed)
            if (name == n.name) cp = n.code;
        for (unsigned k = 0; !cp && k < sizeof(kLatin1) / sizeof(kLatin1[0]); ++k)
            if (name == kLatin1[k]) cp = 160 + k;
        if (!cp) {
            out += L'&';
            continue;
        }
        AppendCodePoint(cp, out);
        i = j;
    }
    return out;
}

std::wstring HtmlParser::DecodeBytes(const std::string& bytes) {
    std::wstring text;
    auto convert = [&](UINT cp, const char* data, size_t size, DWORD flags) {
        if (size == 0) return true;
        int n = ::MultiByteToWideChar(cp, flags, data, static_cast<int>(size), nullptr, 0);
        if (n <= 0) return false;
        text.assign(static_cast<size_t>(n), L'\0');
        return ::MultiByteToWideChar(cp, flags, data, static_cast<int>(size), &text[0], n) == n;
    };
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool big = b[0] == 0xFE;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(big ? (b[i] << 8 | b[i + 1]) : (b[i + 1] << 8 | b[i]));
    } else if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        convert(CP_UTF8, bytes.data() + 3, bytes.size() - 3, 0);
    } else if (!convert(CP_UTF8, bytes.data(), bytes.size(), MB_ERR_INVALID_CHARS)) {
        convert(1252, bytes.data(), bytes.size(), 0);
    }
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            out += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

HtmlParser::HtmlParser(const std::wstring& html) : html_(html) {}

DomNode::Ptr HtmlParser::Parse(const std::wstring& html) {
    auto root = DomNode::Element(L"#document");
    HtmlParser(html).Run(root);
    return root;
}

std::vector<DomNode::Ptr> HtmlParser::ParseFragment(const std::wstring& html) {
    auto holder = DomNode::Element(L"#fragment");
    HtmlParser(html).Run(holder);
    std::vector<DomNode::Ptr> nodes = holder->children();
    holder->ReplaceChildren({});
    return nodes;
}

unsigned long HtmlParser::LineAt(size_t pos) {
    for (; linePos_ < pos && linePos_ < html_.size(); ++linePos_)
        if (html_[linePos_] == L'\n') ++line_;
    return line_;
}

void HtmlParser::Run(const DomNode::Ptr& root) {
    open_.assign(1, root);
    const size_t n = html_.size();
    while (pos_ < n) {
        if (html_[pos_] != L'<') {
            Characters();
            continue;
        }
        if (html_.compare(pos_, 4, L"<!--") == 0) {
            size_t end = html_.find(L"-->", pos_ + 4);
            pos_ = end == std::wstring::npos ? n : end + 3;
        } else if (pos_ + 1 < n && (html_[pos_ + 1] == L'!' || html_[pos_ + 1] == L'?')) {
            size_t end = html_.find(L'>', pos_);
            pos_ = end == std::wstring::npos ? n : end + 1;
        } else if (pos_ + 2 < n && html_[pos_ + 1] == L'/' && std::iswalpha(html_[pos_ + 2])) {
            EndTag();
        } else if (pos_ + 1 < n && std::iswalpha(html_[pos_ + 1])) {
            StartTag();
        } else {
            Characters();
        }
    }
}

void HtmlParser::Characters() {
    // Text up to the next tag; a '<' that starts no tag is text too.
    size_t end = html_.find(L'<', pos_ + 1);
    if (end == std::wstring::npos) end = html_.size();
    const std::wstring text = DecodeEntities(html_.substr(pos_, end - pos_));
    pos_ = end;
    // Visible text ends an open head, as body content does.
    if (open_.size() > 1 && open_.back()->Is(L"head") &&
        text.find_first_not_of(L" \t\n\f") != std::wstring::npos)
        open_.pop_back();
    auto& parent = open_.back();
    if (!parent->children().empty() && !parent->children().back()->IsElement()) {
        auto& last = parent->children().back();
        last->SetText(last->text() + text);
    } else {
        parent->Append(DomNode::Text(text));
    }
}

void HtmlParser::PopTo(size_t index) {
    if (index > 0 && index < open_.size()) open_.resize(index);
}

void HtmlParser::CloseImplied(const std::wstring& tag) {
    // Finds an open element named `closes` above any of the `stops`, and ends it.
    auto close = [&](std::initializer_list<const wchar_t*> closes, std::initializer_list<const wchar_t*> stops) {
        for (size_t i = open_.size(); i-- > 1;) {
            const std::wstring& t = open_[i]->tag();
            if (OneOf(t, closes)) {
                PopTo(i);
                return;
            }
            if (OneOf(t, stops)) return;
        }
    };
    // Content that belongs in the body ends an open head (pages often omit </head>).
    if (!OneOf(tag, {L"html", L"head", L"title", L"meta", L"link", L"style", L"script", L"base", L"noscript",
                     L"template"}))
        close({L"head"}, {});
    if (OneOf(tag, {L"p", L"div", L"ul", L"ol", L"dl", L"table", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"form",
                    L"pre", L"blockquote", L"hr", L"center", L"section", L"header", L"footer", L"nav", L"article",
                    L"address", L"fieldset"}))
        close({L"p"}, {L"div", L"td", L"th", L"li", L"button", L"body", L"table", L"form"});
    if (tag == L"li") close({L"li"}, {L"ul", L"ol", L"table"});
    if (tag == L"option") close({L"option"}, {L"select"});
    if (tag == L"dt" || tag == L"dd") close({L"dt", L"dd"}, {L"dl"});
    if (tag == L"td" || tag == L"th") close({L"td", L"th"}, {L"tr", L"table"});
    if (tag == L"tr") close({L"tr"}, {L"table", L"tbody", L"thead", L"tfoot"});
}

void HtmlParser::StartTag() {
    const size_t n = html_.size();
    size_t i = pos_ + 1;
    size_t start = i;
    while (i < n && IsNameChar(html_[i])) ++i;
    const std::wstring tag = Lower(html_.substr(start, i - start));
    auto element = DomNode::Element(tag);
    bool selfClosing = false;
    while (i < n) {
        while (i < n && std::iswspace(html_[i])) ++i;
        if (i >= n) break;
        if (html_[i] == L'>') {
            ++i;
            break;
        }
        if (html_[i] == L'/') {
            ++i;
            if (i < n && html_[i] == L'>') {
                selfClosing = true;
                ++i;
                break;
            }
            continue;
        }
        size_t nameStart = i;
        while (i < n && !std::iswspace(html_[i]) && html_[i] != L'=' && html_[i] != L'>' &&
               !(html_[i] == L'/' && i + 1 < n && html_[i + 1] == L'>'))
            ++i;
        std::wstring name = html_.substr(nameStart, i - nameStart);
        if (name.empty()) {
            ++i;
            continue;
        }
        while (i < n && std::iswspace(html_[i])) ++i;
        std::wstring value;
        if (i < n && html_[i] == L'=') {
            ++i;
            while (i < n && std::iswspace(html_[i])) ++i;
            if (i < n && (html_[i] == L'"' || html_[i] == L'\'')) {
                wchar_t quote = html_[i++];
                size_t end = html_.find(quote, i);
                if (end == std::wstring::npos) end = n;
                value = html_.substr(i, end - i);
                i = end < n ? end + 1 : n;
            } else {
                size_t valueStart = i;
                while (i < n && !std::iswspace(html_[i]) && html_[i] != L'>') ++i;
                value = html_.substr(valueStart, i - valueStart);
            }
        }
        if (!element->HasAttribute(name)) element->SetAttribute(name, DecodeEntities(value));
    }
    pos_ = i;

    CloseImplied(tag);
    open_.back()->Append(element);
    if (IsRawText(tag) || IsEscapableRawText(tag)) {
        element->SetLine(LineAt(pos_));
        if (selfClosing) return;
        // Content up to the matching end tag, whatever it holds.
        const std::wstring closing = L"</" + tag;
        size_t end = pos_;
        for (;;) {
            end = html_.find(L"</", end);
            if (end == std::wstring::npos) {
                end = n;
                break;
            }
            if (::CompareStringOrdinal(html_.c_str() + end, static_cast<int>(closing.size()), closing.c_str(),
                                       static_cast<int>(closing.size()), TRUE) == CSTR_EQUAL &&
                (end + closing.size() >= n || !IsNameChar(html_[end + closing.size()])))
                break;
            end += 2;
        }
        std::wstring content = html_.substr(pos_, end - pos_);
        if (!content.empty())
            element->Append(DomNode::Text(IsEscapableRawText(tag) ? DecodeEntities(content) : content));
        size_t close = end < n ? html_.find(L'>', end) : n;
        pos_ = close == std::wstring::npos ? n : close + 1;
        return;
    }
    if (!selfClosing && !IsVoid(tag)) open_.push_back(element);
}

void HtmlParser::EndTag() {
    const size_t n = html_.size();
    size_t i = pos_ + 2;
    size_t start = i;
    while (i < n && IsNameChar(html_[i])) ++i;
    const std::wstring tag = Lower(html_.substr(start, i - start));
    size_t close = html_.find(L'>', i);
    pos_ = close == std::wstring::npos ? n : close + 1;
    for (size_t k = open_.size(); k-- > 1;) {
        if (open_[k]->tag() == tag) {
            PopTo(k);
            return;
        }
    }
}

}  // namespace pageplayer
