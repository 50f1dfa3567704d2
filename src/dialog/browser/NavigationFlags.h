#pragma once
// The main browser's page-completion flags: set by the browser events on the UI
// thread, read by the waits of navigation (engine thread) and of "showoffer" (UI
// thread). Shared between the browser host, its event sink and a navigation in
// progress, so a wait on the engine's thread never reads freed memory when the window
// goes away under it.
#include "common/CriticalSection.h"

namespace stagehand {

class NavigationFlags {
public:
    // NavigateComplete2: set by the first completed navigation, never cleared.
    void SetNavigateCompleted() noexcept;
    bool NavigateCompleted() noexcept;

    // DocumentComplete (of any frame) sets it, each navigation clears it first.
    void SetDocumentCompleted(bool value) noexcept;
    bool DocumentCompleted() noexcept;

    // The window went away: waits stop.
    void SetClosed() noexcept;
    bool Closed() noexcept;

private:
    common::CriticalSection lock_;
    bool navigateCompleted_ = false;
    bool documentCompleted_ = false;
    bool closed_ = false;
};

}  // namespace stagehand
