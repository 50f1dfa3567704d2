#pragma once
// The page-facing side of the offer wrapper: what the pages' window.external calls
// "showoffer", "hideoffer" and "checkoffer" reach. The main window hands its offer
// wrapper to its browser host.

namespace stagehand {

class PageOffer {
public:
    // Places the offer in the window; (first, second) is the position the page asked for.
    // Whether the offer dialog runs.
    virtual bool ShowOffer(int first, int second) = 0;
    // Hides a shown offer; a later ShowOffer shows it again.
    virtual void HideOffer() = 0;
    // Whether the page may leave the offer page.
    virtual bool CheckOffer() = 0;

protected:
    ~PageOffer() = default;
};

}  // namespace stagehand
