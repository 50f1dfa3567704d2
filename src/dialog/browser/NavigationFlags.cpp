#include "dialog/browser/NavigationFlags.h"

namespace stagehand {

void NavigationFlags::SetNavigateCompleted() noexcept {
    common::ScopedLock guard(lock_);
    navigateCompleted_ = true;
}

bool NavigationFlags::NavigateCompleted() noexcept {
    common::ScopedLock guard(lock_);
    return navigateCompleted_;
}

void NavigationFlags::SetDocumentCompleted(bool value) noexcept {
    common::ScopedLock guard(lock_);
    documentCompleted_ = value;
}

bool NavigationFlags::DocumentCompleted() noexcept {
    common::ScopedLock guard(lock_);
    return documentCompleted_;
}

void NavigationFlags::SetClosed() noexcept {
    common::ScopedLock guard(lock_);
    closed_ = true;
}

bool NavigationFlags::Closed() noexcept {
    common::ScopedLock guard(lock_);
    return closed_;
}

}  // namespace stagehand
