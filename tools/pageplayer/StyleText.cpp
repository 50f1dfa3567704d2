#include "tools/pageplayer/StyleText.h"

#include <cwctype>
#include <utility>
#include <vector>

namespace pageplayer {

namespace {

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::vector<std::pair<std::wstring, std::wstring>> Declarations(const std::wstring& style) {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    size_t pos = 0;
    while (pos <= style.size()) {
        size_t end = style.find(L';', pos);
        if (end == std::wstring::npos) end = style.size();
        const std::wstring decl = style.substr(pos, end - pos);
        size_t colon = decl.find(L':');
        if (colon != std::wstring::npos) {
            std::wstring name = Lower(Trim(decl.substr(0, colon)));
            if (!name.empty()) out.emplace_back(name, Trim(decl.substr(colon + 1)));
        }
        pos = end + 1;
    }
    return out;
}

}  // namespace

std::wstring StyleText::Get(const std::wstring& style, const std::wstring& name) {
    const std::wstring key = Lower(name);
    std::wstring value;
    for (const auto& d : Declarations(style))
        if (d.first == key) value = d.second;  // the last declaration wins
    return value;
}

std::wstring StyleText::Set(const std::wstring& style, const std::wstring& name, const std::wstring& value) {
    const std::wstring key = Lower(name);
    const std::wstring v = Trim(value);
    std::wstring out;
    bool written = false;
    for (const auto& d : Declarations(style)) {
        if (d.first == key) {
            if (written || v.empty()) continue;
            written = true;
            out += (out.empty() ? L"" : L" ") + key + L": " + v + L";";
        } else {
            out += (out.empty() ? L"" : L" ") + d.first + L": " + d.second + L";";
        }
    }
    if (!written && !v.empty()) out += (out.empty() ? L"" : L" ") + key + L": " + v + L";";
    return out;
}

std::wstring StyleText::CssName(const std::wstring& scriptName) {
    std::wstring out;
    for (wchar_t c : scriptName) {
        if (std::iswupper(c)) {
            out += L'-';
            out += static_cast<wchar_t>(std::towlower(c));
        } else {
            out += c;
        }
    }
    if (out == L"css-float" || out == L"style-float") out = L"float";
    return out;
}

}  // namespace pageplayer
