#include "dialog/strings/ResourceSound.h"

#include <mmsystem.h>

#include "common/DebugLog.h"

namespace stagehand {

HRESULT ResourceSound::Play(HMODULE module, USHORT id) noexcept {
    if (!module) {
        common::DebugOut("ResourceSound::Play: no resource module\n");
        return E_FAIL;
    }
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), kType);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* wave = loaded ? ::LockResource(loaded) : nullptr;
    if (!wave) {
        common::DebugError("ResourceSound::Play found no sound", ::GetLastError());
        return E_FAIL;
    }
    // Synchronous: returns when the sound has ended. No default sound instead.
    const BOOL played = ::sndPlaySoundW(static_cast<LPCWSTR>(wave), SND_MEMORY | SND_NODEFAULT);
    if (!played) common::DebugError("ResourceSound::Play could not play the sound", ::GetLastError());
    // Resources stay mapped with their module; there is nothing to free.
    return played ? S_OK : E_FAIL;
}

}  // namespace stagehand
