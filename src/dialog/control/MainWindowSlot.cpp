#include "dialog/control/MainWindowSlot.h"

#include <utility>

#include "dialog/window/CMainDlg.h"

namespace stagehand {

MainWindowSlot::Use::Use(Use&& other) noexcept
    : slot_(std::exchange(other.slot_, nullptr)), window_(std::exchange(other.window_, nullptr)) {}

MainWindowSlot::Use::~Use() {
    if (slot_ && window_) slot_->Return();
}

MainWindowSlot::~MainWindowSlot() {
    CMainDlg* window;
    CMainDlg* retired;
    {
        common::ScopedLock lock(lock_);
        window = std::exchange(window_, nullptr);
        retired = std::exchange(retired_, nullptr);
        if (abandoned_) return;
    }
    delete window;
    delete retired;
}

void MainWindowSlot::Adopt(CMainDlg* window) {
    {
        common::ScopedLock lock(lock_);
        if (!window_) {
            window_ = window;
            return;
        }
    }
    delete window;
}

MainWindowSlot::Use MainWindowSlot::Acquire() {
    common::ScopedLock lock(lock_);
    if (!window_) return Use(this, nullptr);
    ++users_;
    return Use(this, window_);
}

bool MainWindowSlot::Empty() {
    common::ScopedLock lock(lock_);
    return !window_;
}

void MainWindowSlot::Return() {
    CMainDlg* gone = nullptr;
    {
        common::ScopedLock lock(lock_);
        if (--users_ == 0) gone = std::exchange(retired_, nullptr);
    }
    delete gone;
}

void MainWindowSlot::WindowRetired(CMainDlg* window) {
    {
        common::ScopedLock lock(lock_);
        if (window == window_) window_ = nullptr;
        if (users_ > 0 && !retired_) {
            retired_ = window;  // the last Use deletes it
            return;
        }
    }
    delete window;
}

void MainWindowSlot::Abandon() noexcept {
    common::ScopedLock lock(lock_);
    abandoned_ = true;
}

}  // namespace stagehand
