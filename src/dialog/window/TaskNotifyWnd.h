#pragma once
// The hidden notification window beside the installer frame. It carries a hidden
// browser of its own and flashes into view (shown and at once hidden) when the engine
// sends a notification; the notification's text is kept but not displayed.
#include <windows.h>
#include <exdisp.h>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "dialog/window/WindowImpl.h"

namespace stagehand {

class TaskNotifyWnd final : public WindowImpl {
public:
    TaskNotifyWnd() noexcept;
    ~TaskNotifyWnd() override;

    // Creates the hidden popup on the calling thread (which then owns it); null on failure.
    HWND Create();
    // Replaces the kept text by a copy; E_OUTOFMEMORY when the copy can't be made.
    HRESULT SetNotifyText(BSTR text);

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    HWND browserHost_ = nullptr;
    common::ComPtr<IWebBrowser2> browser_;   // kept, never navigated
    common::CriticalSection textLock_;
    common::Bstr notifyText_;
};

}  // namespace stagehand
