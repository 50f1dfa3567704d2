#pragma once
// The child window that holds an offer dialog inside the browser area. It paints no
// background of its own; deleting the object destroys the window.
#include <windows.h>

#include "dialog/window/WindowImpl.h"

namespace stagehand {

class CPlaceHolderWnd final : public WindowImpl {
public:
    CPlaceHolderWnd() noexcept;
    ~CPlaceHolderWnd() override;

    // Creates the window as a child of parent on the calling thread; null on failure.
    HWND Create(HWND parent, const RECT& rect);

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace stagehand
