#pragma once
// The page-facing side of the offer wrapper: what the pages' window.external calls
// "showoffer", "hideoffer" and "checkoffer" reach. The main window hands it to its
// browser host; NoOffer stands in while no offer library is wrapped.

namespace stagehand {

class PageOffer {
public:
    // Places the offer in the window; (first, second) is the position the page asked for.
    virtual void ShowOffer(int first, int second) = 0;
    // Hides a shown offer; a later ShowOffer shows it again.
    virtual void HideOffer() = 0;
    // Whether the page may leave the offer page: greater than 0 means yes.
    virtual int CheckOffer() = 0;

protected:
    ~PageOffer() = default;
};

}  // namespace stagehand
