#include "dialog/window/BitmapButton.h"

namespace stagehand {

namespace {
constexpr RECT kNoPlace = {-1, -1, -1, -1};
constexpr COLORREF kTransparent = RGB(255, 0, 255);

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info)) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}
}  // namespace

BitmapButton::BitmapButton() noexcept = default;

BitmapButton::~BitmapButton() { ReleaseImages(); }

void BitmapButton::ReleaseImages() noexcept {
    for (HBITMAP& image : images_) {
        if (image) ::DeleteObject(image);
        image = nullptr;
    }
}

HRESULT BitmapButton::LoadImages(const std::wstring (&paths)[kSlotCount]) {
    common::ScopedLock lock(lock_);
    ReleaseImages();
    rect_ = kNoPlace;
    current_ = kNormal;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (paths[slot].empty()) continue;
        images_[slot] = static_cast<HBITMAP>(
            ::LoadImageW(nullptr, paths[slot].c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (!images_[slot]) return E_INVALIDARG;
    }
    return S_OK;
}

void BitmapButton::SetPlacement(const RECT& rect) {
    common::ScopedLock lock(lock_);
    SIZE size = BitmapSize(images_[kNormal]);
    rect_ = {rect.left, rect.top, rect.left + size.cx, rect.top + size.cy};
}

void BitmapButton::SetOwnerWindow(HWND owner) {
    common::ScopedLock lock(lock_);
    owner_ = owner;
}

void BitmapButton::SetCommandId(WORD id) {
    common::ScopedLock lock(lock_);
    commandId_ = id;
}

RECT BitmapButton::GetRect() const {
    common::ScopedLock lock(lock_);
    return rect_;
}

bool BitmapButton::HasPlace() const {
    common::ScopedLock lock(lock_);
    return rect_.left != -1 || rect_.top != -1 || rect_.right != -1 || rect_.bottom != -1;
}

bool BitmapButton::HitTest(POINT point) const {
    common::ScopedLock lock(lock_);
    return point.x > rect_.left && point.x < rect_.right && point.y > rect_.top && point.y < rect_.bottom;
}

void BitmapButton::Invalidate() const {
    if (owner_) ::InvalidateRect(owner_, &rect_, FALSE);
}

void BitmapButton::Press() {
    common::ScopedLock lock(lock_);
    current_ = kPressed;
    Invalidate();
}

void BitmapButton::ReleaseAndFire() {
    common::ScopedLock lock(lock_);
    current_ = kNormal;
    Invalidate();
    if (commandId_ != 0 && owner_) ::PostMessageW(owner_, WM_COMMAND, MAKEWPARAM(commandId_, 0), 0);
}

void BitmapButton::Draw(HDC dc) const {
    common::ScopedLock lock(lock_);
    HBITMAP image = images_[current_];
    if (!image) return;
    SIZE size = BitmapSize(image);
    HDC memory = ::CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = ::SelectObject(memory, image);
    ::TransparentBlt(dc, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory, 0, 0,
                     size.cx, size.cy, kTransparent);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

void BitmapButton::Unload() {
    common::ScopedLock lock(lock_);
    ReleaseImages();
    current_ = kNormal;
    rect_ = kNoPlace;
}

}  // namespace stagehand
