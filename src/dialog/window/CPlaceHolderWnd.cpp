#include "dialog/window/CPlaceHolderWnd.h"

#include "dialog/window/WindowClassNames.h"

namespace stagehand {

namespace {
constexpr WindowTraits kPlaceholderTraits = {WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0};
}

CPlaceHolderWnd::CPlaceHolderWnd() noexcept : WindowImpl(kOfferPlaceholderClass, kPlaceholderTraits) {}

CPlaceHolderWnd::~CPlaceHolderWnd() {
    HWND hwnd = Handle();
    if (!hwnd || !::IsWindow(hwnd)) return;
    // Only the owning thread may destroy a window; another thread asks it to close,
    // which the default procedure answers by destroying it.
    if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(hwnd);
    else
        ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

HWND CPlaceHolderWnd::Create(HWND parent, const RECT& rect) {
    return CreateWindowImpl(parent, rect, L"Test APP", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_TOPMOST);
}

bool CPlaceHolderWnd::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_ERASEBKGND) return false;
    result = 1;  // the offer dialog covers the whole window
    return true;
}

}  // namespace stagehand
