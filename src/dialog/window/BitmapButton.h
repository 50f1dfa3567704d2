#pragma once
// A button drawn from bitmap files (magenta transparent) on its owner window: a normal
// and a pressed image, a place on the window, and a command posted to the owner when it
// is released. The owner's UI thread presses, releases and draws it while the engine's
// thread loads and places it, so its state is guarded by a lock of its own.
#include <windows.h>

#include <string>

#include "common/CriticalSection.h"

namespace stagehand {

class BitmapButton {
public:
    enum Slot { kNormal = 0, kPressed = 1, kSlotCount = 5 };

    BitmapButton() noexcept;
    virtual ~BitmapButton();
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    // Releases every image and the place, then loads each non-empty path into its slot
    // (an empty path leaves the slot empty); the normal image becomes current.
    // E_INVALIDARG when a file does not load as a bitmap.
    HRESULT LoadImages(const std::wstring (&paths)[kSlotCount]);
    // Takes left and top from the rectangle; the size is the normal image's (0 x 0 without one).
    void SetPlacement(const RECT& rect);
    void SetOwnerWindow(HWND owner);
    void SetCommandId(WORD id);
    // The button's rectangle in the owner's client coordinates; all -1 while it has no place.
    RECT GetRect() const;
    bool HasPlace() const;
    // Whether the point lies strictly inside the rectangle.
    bool HitTest(POINT point) const;
    // Shows the pressed image.
    void Press();
    // Shows the normal image and posts the command (when there is one) to the owner.
    void ReleaseAndFire();
    // Draws the current image onto the rectangle, magenta transparent.
    void Draw(HDC dc) const;
    // Releases every image; the button has no place any more.
    void Unload();

private:
    void ReleaseImages() noexcept;
    void Invalidate() const;

    mutable common::CriticalSection lock_;
    HBITMAP images_[kSlotCount] = {};
    int current_ = kNormal;
    RECT rect_ = {-1, -1, -1, -1};
    HWND owner_ = nullptr;
    WORD commandId_ = 0;
};

}  // namespace stagehand
