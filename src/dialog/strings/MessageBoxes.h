#pragma once
// The dialog control's message boxes: localized texts by string id, shown system-modal
// while the control lock is held, over the main window when there is one. Boxes that
// report a fatal error end the calling thread's message loop afterwards.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <string>

#include "common/CriticalSection.h"
#include "dialog/strings/ControlResources.h"

namespace stagehand {

class MessageBoxes {
public:
    // Both outlive this object (members of the same control).
    MessageBoxes(const ControlResources& resources, common::CriticalSection& controlLock) noexcept;
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    // The window that owns the boxes (the main window once it exists; null for none).
    void SetOwnerWindow(HWND owner) noexcept { owner_.store(owner); }

    // OK box of string id; the argument fills the text's "%ls". S_FALSE without a box
    // when the string is missing. Posts a quit message to the calling thread always.
    HRESULT DisplayError(INT id, BSTR argument) noexcept;
    // Yes/No box; *yes is VARIANT_TRUE for Yes. S_FALSE (false) without a box when
    // the string is missing.
    HRESULT DisplayErrorYN(INT id, VARIANT_BOOL* yes) noexcept;
    // OK box of the given text with the system's default caption; posts a quit
    // message to the calling thread.
    HRESULT DisplayErrorString(const BSTR* text) noexcept;
    // OK box of string id; the Win32 reason as an HRESULT when the string is missing.
    HRESULT DisplayWarning(INT id) noexcept;
    // Retry/Cancel box; *retry is VARIANT_TRUE for Retry. S_FALSE (false) without a
    // box when the string is missing.
    HRESULT DisplayErrorRetryCancel(INT id, VARIANT_BOOL* retry) noexcept;

private:
    // Shows one box (MB_SYSTEMMODAL plus `buttons`) and returns the answer, 0 when
    // the box could not be shown. The caller holds the control lock.
    int Show(const wchar_t* text, bool ownCaption, UINT buttons) const;
    // Yes/No and Retry/Cancel: *answer true when the box returned `wanted`.
    HRESULT Ask(INT id, UINT buttons, int wanted, VARIANT_BOOL* answer);

    const ControlResources& resources_;
    common::CriticalSection& controlLock_;
    std::atomic<HWND> owner_{nullptr};
};

}  // namespace stagehand
