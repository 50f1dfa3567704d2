#pragma once
// What the offer wrapper needs from the window that owns it: a place for the offer.
#include <windows.h>

namespace stagehand {

class OfferOwner {
public:
    // Brings the window to the front and creates the placeholder child the offer dialog
    // goes into (replacing an earlier one); its handle, or null when none could be made.
    virtual HWND CreateOfferPlaceholder() = 0;
    // Destroys the placeholder, if there is one.
    virtual void DestroyOfferPlaceholder() = 0;

protected:
    ~OfferOwner() = default;
};

}  // namespace stagehand
