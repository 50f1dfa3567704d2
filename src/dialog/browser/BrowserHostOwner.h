#pragma once
// What the browser host needs from the window that owns it (the installer's main window).
#include <windows.h>

#include "dialog/browser/PageOffer.h"

namespace stagehand {

class BrowserHostOwner {
public:
    // The top-level window the browsers live in.
    virtual HWND FrameWindow() const = 0;
    // Restores the window and makes it the foreground window, dropping any topmost state:
    // 0 when it became the foreground window, else 1. May be called from any thread.
    virtual int BringToFront() = 0;
    // The same, but the window stays topmost.
    virtual int BringToFrontTopmost() = 0;
    // The offer wrapper the pages' offer calls go to.
    virtual PageOffer& Offer() = 0;
    // The browsers released the host's last reference: the owner deletes itself (and with
    // it the BrowserHost). Called from within a Release of one of the host objects, on the
    // thread that released; the host touches nothing of itself after this call.
    virtual void OnHostReleased() = 0;

protected:
    ~BrowserHostOwner() = default;
};

}  // namespace stagehand
