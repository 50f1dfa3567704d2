#pragma once
// The offer side of the window while no offer library is wrapped: every page call
// answers "no offer".
#include "dialog/browser/PageOffer.h"

namespace stagehand {

class NoOffer final : public PageOffer {
public:
    void ShowOffer(int first, int second) override;
    void HideOffer() override;
    // 0: nothing to wait for, the page may not count on an offer.
    int CheckOffer() override;
};

}  // namespace stagehand
