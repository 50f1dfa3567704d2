#include "dialog/strings/MessageBoxes.h"

#include <cwchar>
#include <new>

#include "common/Bstr.h"
#include "common/DebugLog.h"
#include "dialog/strings/MessageTemplate.h"

namespace stagehand {

MessageBoxes::MessageBoxes(const ControlResources& resources, common::CriticalSection& controlLock) noexcept
    : resources_(resources), controlLock_(controlLock) {}

int MessageBoxes::Show(const wchar_t* text, bool ownCaption, UINT buttons) const {
    std::wstring caption;
    const bool hasCaption = ownCaption && resources_.Caption(caption);
    // A main window that is already gone would make the box fail: show it unowned.
    HWND owner = owner_.load();
    if (owner && !::IsWindow(owner)) owner = nullptr;
    int answer = ::MessageBoxW(owner, text, hasCaption ? caption.c_str() : nullptr, MB_SYSTEMMODAL | buttons);
    if (answer == 0) common::DebugError("MessageBoxes::Show failed", ::GetLastError());
    return answer;
}

HRESULT MessageBoxes::DisplayError(INT id, BSTR argument) noexcept {
    HRESULT hr = S_OK;
    try {
        common::ScopedLock guard(controlLock_);
        std::wstring templ;
        if (resources_.LoadLocalized(id, ControlResources::kMessageChars, templ)) {
            // A null or empty argument leaves the template as it stands ("%ls" shows).
            const UINT length = ::SysStringLen(argument);
            std::wstring text = length > 0 ? MessageTemplate::Format(templ, argument, wcsnlen(argument, length),
                                                                     ControlResources::kMessageChars)
                                           : templ;
            Show(text.c_str(), true, MB_OK);
        } else {
            hr = S_FALSE;
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    // A fatal error ends the caller's message loop (the engine's, not the window's).
    ::PostQuitMessage(0);
    return hr;
}

HRESULT MessageBoxes::Ask(INT id, UINT buttons, int wanted, VARIANT_BOOL* answer) {
    if (!answer) return E_POINTER;
    *answer = VARIANT_FALSE;
    common::ScopedLock guard(controlLock_);
    std::wstring text;
    if (!resources_.LoadLocalized(id, ControlResources::kMessageChars, text)) return S_FALSE;
    if (Show(text.c_str(), true, buttons) == wanted) *answer = VARIANT_TRUE;
    return S_OK;
}

HRESULT MessageBoxes::DisplayErrorYN(INT id, VARIANT_BOOL* yes) noexcept {
    try {
        return Ask(id, MB_YESNO, IDYES, yes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT MessageBoxes::DisplayErrorRetryCancel(INT id, VARIANT_BOOL* retry) noexcept {
    try {
        return Ask(id, MB_RETRYCANCEL, IDRETRY, retry);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT MessageBoxes::DisplayWarning(INT id) noexcept {
    try {
        common::ScopedLock guard(controlLock_);
        std::wstring text;
        DWORD error = ERROR_SUCCESS;
        if (!resources_.LoadLocalized(id, ControlResources::kMessageChars, text, &error))
            return HRESULT_FROM_WIN32(error);
        Show(text.c_str(), true, MB_OK);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT MessageBoxes::DisplayErrorString(const BSTR* text) noexcept {
    HRESULT hr = S_OK;
    try {
        common::ScopedLock guard(controlLock_);
        // The text as given (up to an embedded null, where the box would end it
        // anyway); the caption is always the system's default.
        Show(common::BstrText(text), false, MB_OK);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    ::PostQuitMessage(0);
    return hr;
}

}  // namespace stagehand
