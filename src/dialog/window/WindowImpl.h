#pragma once
// A small window-implementation base: one registered window class per derived class,
// creation with the class's traits, and message dispatch to the derived class.
#include <windows.h>

#include <atomic>

namespace stagehand {

// Default styles of a window class: the style used when creation passes none, and the
// extended style always added to the one creation passes.
struct WindowTraits {
    DWORD style;
    DWORD exStyle;
};

// The standard frame traits: an overlapped window with a taskbar button.
constexpr WindowTraits kFrameTraits = {WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                       WS_EX_APPWINDOW | WS_EX_WINDOWEDGE};

class WindowImpl {
public:
    WindowImpl(const WindowImpl&) = delete;
    WindowImpl& operator=(const WindowImpl&) = delete;

    // The window's handle, null before creation and after destruction; any thread.
    HWND Handle() const noexcept { return hwnd_.load(); }

    // The module whose window classes these are (the one this code is linked into).
    static HINSTANCE ModuleInstance() noexcept;

protected:
    WindowImpl(const wchar_t* className, const WindowTraits& traits) noexcept;
    // A window that still exists is detached from the object (it falls back to the
    // default procedure); derived classes destroy their windows themselves.
    virtual ~WindowImpl();

    // Creates the window on the calling thread, which then owns it. A style of 0 takes the
    // traits' style; the traits' extended style is added to exStyle. Null on failure (the
    // thread's last error tells why).
    HWND CreateWindowImpl(HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle,
                          UINT_PTR id = 0);

    // One message of the window: true when handled, with its result in `result`; unhandled
    // messages go to the default window procedure.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

    // Called once the window is destroyed and none of its messages is being handled any
    // more; the object may delete itself here.
    virtual void OnFinalMessage() {}

    // The framework's default rectangle: the system chooses place and size.
    static const RECT kDefaultRect;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RegisterWindowClass() noexcept;

    const wchar_t* className_;
    WindowTraits traits_;
    std::atomic<HWND> hwnd_{nullptr};
    int nesting_ = 0;          // messages of this window being handled (owner thread only)
    bool destroyed_ = false;   // WM_NCDESTROY seen, OnFinalMessage still due
};

}  // namespace stagehand
