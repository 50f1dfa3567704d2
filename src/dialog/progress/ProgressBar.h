#pragma once
// The native progress bar along the bottom of the installer window. The UI thread creates
// it (Create, in the handler of the window's init-progress message); the engine's thread
// sets and fills it through messages, which the system carries over to the UI thread.
// Before the first Create every setter does nothing.
#include <windows.h>

#include <atomic>

namespace stagehand {

class ProgressBar {
public:
    ProgressBar() noexcept = default;
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Creates a bar as a child of parent: 30 pixels in from the left and right edges of the
    // client area, 10 high, its top 20 above the bottom; smooth, on a white background,
    // range 0 to 100. A later call creates another bar at the same place, which the setters
    // use from then on (the earlier one stays where it is). Null when it fails.
    HWND Create(HWND parent);

    // Whether a bar exists; the setters do nothing until then.
    bool Ready() const noexcept { return ready_.load(); }
    HWND Handle() const noexcept { return bar_.load(); }

    void SetPosition(int position) const noexcept;
    // The range becomes 0 to maximum.
    void SetMaximum(int maximum) const noexcept;
    // Moves the position to the upper limit of the current range.
    void FillToEnd() const noexcept;

private:
    std::atomic<HWND> bar_{nullptr};
    std::atomic<bool> ready_{false};
};

}  // namespace stagehand
