#pragma once
// A sound kept as a "WAVE" resource (a complete RIFF/WAVE file), played from memory.
#include <windows.h>

namespace stagehand {

class ResourceSound {
public:
    // The resource type of the sounds.
    static constexpr const wchar_t* kType = L"WAVE";

    // Plays WAVE resource `id` of `module` and returns when the sound has ended.
    // S_OK when it was played; E_FAIL without a module or resource, or when the
    // platform could not play it (no sound device, say).
    static HRESULT Play(HMODULE module, USHORT id) noexcept;
};

}  // namespace stagehand
