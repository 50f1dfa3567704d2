#pragma once
// The page-facing side of the offer wrapper while the window has no offer: showing and
// hiding do nothing, and the page may always leave.
#include "dialog/browser/BrowserHost.h"

namespace stagehand {

class NoOffer final : public PageOffer {
public:
    void ShowOffer(int first, int second) override;
    void HideOffer() override;
    // 1: the user may leave the offer page.
    int CheckOffer() override;
};

}  // namespace stagehand
