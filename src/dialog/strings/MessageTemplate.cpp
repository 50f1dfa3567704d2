#include "dialog/strings/MessageTemplate.h"

#include <cwchar>

namespace stagehand {

namespace {

// Walks the placeholders of a template: calls f(position, length) for each, where
// a placeholder runs from '%' through its type letter. "%%" is skipped. A '%' at
// the very end counts as a placeholder of length 1.
template <class F>
void ForEachPlaceholder(const std::wstring& t, F&& f) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != L'%') continue;
        if (i + 1 < t.size() && t[i + 1] == L'%') {
            ++i;
            continue;
        }
        size_t end = i + 1;
        // Flags, width, precision and size prefixes up to the type letter.
        while (end < t.size() && (wcschr(L"-#0123456789.lhIw", t[end]) != nullptr)) ++end;
        if (end < t.size()) ++end;  // the type letter
        f(i, end - i);
        i = end - 1;
    }
}

bool IsStringPlaceholder(const std::wstring& t, size_t pos, size_t len) {
    return t.compare(pos, len, L"%ls") == 0 || t.compare(pos, len, L"%s") == 0;
}

}  // namespace

bool MessageTemplate::TakesOneString(const std::wstring& templ) noexcept {
    int count = 0;
    bool allStrings = true;
    ForEachPlaceholder(templ, [&](size_t pos, size_t len) {
        ++count;
        allStrings = allStrings && IsStringPlaceholder(templ, pos, len);
    });
    return count == 1 && allStrings;
}

bool MessageTemplate::HasPlaceholder(const std::wstring& templ) noexcept {
    bool any = false;
    ForEachPlaceholder(templ, [&](size_t, size_t) { any = true; });
    return any;
}

std::wstring MessageTemplate::Format(const std::wstring& templ, const wchar_t* argument, size_t argumentLength,
                                     size_t capacity) {
    const size_t limit = capacity > 0 ? capacity - 1 : 0;
    if (!TakesOneString(templ)) return templ.substr(0, limit);

    std::wstring out;
    out.reserve(limit < templ.size() + argumentLength ? limit : templ.size() + argumentLength);
    auto append = [&](const wchar_t* s, size_t n) {
        if (out.size() >= limit) return;
        out.append(s, n < limit - out.size() ? n : limit - out.size());
    };
    for (size_t i = 0; i < templ.size() && out.size() < limit; ++i) {
        if (templ[i] != L'%') {
            append(&templ[i], 1);
        } else if (i + 1 < templ.size() && templ[i + 1] == L'%') {
            append(L"%", 1);
            ++i;
        } else {
            // The one string placeholder ("%s" or "%ls").
            if (argument) append(argument, argumentLength);
            i += templ[i + 1] == L'l' ? 2 : 1;
        }
    }
    return out;
}

}  // namespace stagehand
