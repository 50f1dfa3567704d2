#include "dialog/progress/ProgressBar.h"

#include <commctrl.h>

#include "common/DebugLog.h"

namespace stagehand {

namespace {
constexpr int kSideMargin = 30;
constexpr int kBottomOffset = 20;
constexpr int kBarHeight = 10;
constexpr COLORREF kWhite = RGB(255, 255, 255);
}  // namespace

HWND ProgressBar::Create(HWND parent) {
    // The class is registered by the common controls library once asked for it.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);

    RECT client = {};
    if (!::GetClientRect(parent, &client)) return nullptr;
    const int left = client.left + kSideMargin;
    const int right = client.right - kSideMargin;
    HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, left,
                                 client.bottom - kBottomOffset, right - left, kBarHeight, parent, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!bar) {
        common::DebugLine() << "ProgressBar::Create failed" << common::LastErrSuffix(::GetLastError()) << "\n";
        return nullptr;
    }
    ::SendMessageW(bar, CCM_SETBKCOLOR, 0, kWhite);
    bar_ = bar;
    ready_ = true;
    return bar;
}

void ProgressBar::SetPosition(int position) const noexcept {
    if (!ready_) return;
    ::SendMessageW(bar_.load(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressBar::SetMaximum(int maximum) const noexcept {
    if (!ready_) return;
    ::SendMessageW(bar_.load(), PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
}

void ProgressBar::FillToEnd() const noexcept {
    if (!ready_) return;
    HWND bar = bar_.load();
    PBRANGE range = {};
    ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(range.iHigh), 0);
}

}  // namespace stagehand
