#pragma once
// The dialog control's hold on its main window object. The object deletes itself (through
// WindowRetired) once its window is destroyed and the browsers have let go of it; that
// happens on the UI thread while the engine's thread may be inside a call on it. Every
// call of the control therefore goes through a Use, and a retired window object is
// deleted only when the last Use has ended; afterwards the slot is empty.
#include "common/CriticalSection.h"
#include "dialog/window/MainDlgOwner.h"

namespace stagehand {

class CMainDlg;

class MainWindowSlot final : public MainDlgOwner {
public:
    MainWindowSlot() noexcept = default;
    // Deletes a window object that is still held, unless it was abandoned.
    ~MainWindowSlot();
    MainWindowSlot(const MainWindowSlot&) = delete;
    MainWindowSlot& operator=(const MainWindowSlot&) = delete;

    // The window object in use for one call; empty when there is none (any more).
    class Use {
    public:
        Use(Use&& other) noexcept;
        Use& operator=(Use&&) = delete;
        Use(const Use&) = delete;
        ~Use();
        CMainDlg* get() const noexcept { return window_; }
        CMainDlg* operator->() const noexcept { return window_; }
        explicit operator bool() const noexcept { return window_ != nullptr; }

    private:
        friend class MainWindowSlot;
        Use(MainWindowSlot* slot, CMainDlg* window) noexcept : slot_(slot), window_(window) {}
        MainWindowSlot* slot_;
        CMainDlg* window_;
    };

    // Takes ownership of a window object when the slot is empty (else deletes it).
    void Adopt(CMainDlg* window);
    Use Acquire();
    bool Empty();

    // From the window: it is destroyed and released by the browsers.
    void WindowRetired(CMainDlg* window) override;
    // The process is ending with the UI thread stopped mid-way: leave the object alone.
    void Abandon() noexcept;

private:
    void Return();

    common::CriticalSection lock_;
    CMainDlg* window_ = nullptr;
    CMainDlg* retired_ = nullptr;   // deleted when the last Use ends
    long users_ = 0;
    bool abandoned_ = false;
};

}  // namespace stagehand
