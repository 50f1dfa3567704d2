#pragma once
// The page player's event log: when the environment variable PAGEPLAYER_LOG names a
// file, every event (navigation, external call, alert, script error, ...) appends one
// UTF-8 line "<process id> <kind> <text>" to it. Each line is written with one
// append and the file is closed again, so lines of several processes never mix.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace pageplayer {

class EventLog {
public:
    // Appends "<pid> <kind> <text>\n"; line breaks inside text are written as \n.
    static void Write(const wchar_t* kind, const std::wstring& text) noexcept;

    // A value as script would spell it: strings quoted with escapes, numbers,
    // true/false, null, undefined, [object] for objects.
    static std::wstring Format(const VARIANT& value);
    // A string in double quotes with \\, \" and control characters escaped.
    static std::wstring Quote(const wchar_t* text, size_t length);
    static std::wstring Quote(const std::wstring& text) { return Quote(text.c_str(), text.size()); }
    // 0x-prefixed, eight hexadecimal digits.
    static std::wstring Hex(DWORD value);
};

}  // namespace pageplayer
