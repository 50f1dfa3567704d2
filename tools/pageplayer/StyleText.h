#pragma once
// Reading and writing single properties of an inline style attribute
// ("display: none; width: 20px").
#include <string>

namespace pageplayer {

class StyleText {
public:
    // The value of a property (names compare without regard to case), or empty.
    static std::wstring Get(const std::wstring& style, const std::wstring& name);
    // The style with the property set (replaced in place or appended); an empty
    // value removes the property.
    static std::wstring Set(const std::wstring& style, const std::wstring& name, const std::wstring& value);
    // A script property name as CSS spells it: "backgroundColor" -> "background-color".
    static std::wstring CssName(const std::wstring& scriptName);
};

}  // namespace pageplayer
