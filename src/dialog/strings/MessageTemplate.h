#pragma once
// The text of a message box: a template from the string table with its placeholder
// filled by the script's argument.
#include <windows.h>

#include <string>

namespace stagehand {

class MessageTemplate {
public:
    // Whether the one argument a message method has can fill every placeholder of
    // the template: exactly one string placeholder, "%ls" or "%s" ("%%" is a literal
    // percent sign and no placeholder).
    static bool TakesOneString(const std::wstring& templ) noexcept;

    // Whether the template has any placeholder at all.
    static bool HasPlaceholder(const std::wstring& templ) noexcept;

    // The template with `argument` in place of its string placeholder and "%%" as
    // "%", as wsprintf would write it, when TakesOneString; any other template comes
    // back unchanged, its placeholders unreplaced (never reading an argument that
    // isn't there). The result is cut to capacity - 1 units. May throw
    // std::bad_alloc.
    static std::wstring Format(const std::wstring& templ, const wchar_t* argument, size_t argumentLength,
                               size_t capacity);
};

}  // namespace stagehand
