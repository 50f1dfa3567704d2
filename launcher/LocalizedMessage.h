#pragma once
// The launcher's only user-visible output: one message box whose texts come from the
// string table, localized by adding the UI language's offset to a base string id.
#include <windows.h>

namespace ignition {

class LocalizedMessage {
public:
    // Capacities in UTF-16 characters, terminator included.
    static constexpr int kTemplateChars = 1024;
    static constexpr int kFormattedChars = 2048;

    // Loads string `id` and replaces %1 with `number` in decimal. A missing string
    // gives an empty result. `out` holds `outChars` characters.
    static void LoadFormattedString(HINSTANCE instance, UINT id, int number, wchar_t* out, DWORD outChars);

    // One system-modal warning box without owner; a caption id of 0 gives an empty caption.
    static void ShowLocalizedMessage(HINSTANCE instance, UINT captionId, UINT textId, int number);
};

}  // namespace ignition
