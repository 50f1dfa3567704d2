#pragma once
// The user's UI language and the offset of its block in a localized string table.
// Every localized text lives at base id + offset; a language without a block of its
// own reads the English base ids.
#include <windows.h>

namespace common {

class UiLanguage {
public:
    // Offset of the string block of a primary language (the low 10 bits of the
    // language id): German 1000, Spanish 2000, French 3000, Italian 4000, Dutch 5000,
    // Portuguese 6000, Swedish 7000; any other language 0 (English).
    static UINT Offset(LANGID language) noexcept;

    // The user's UI language as the system reports it now.
    static LANGID User() noexcept;

    // Offset of the user's UI language.
    static UINT UserOffset() noexcept { return Offset(User()); }
};

}  // namespace common
