#pragma once
// The offer side of the window while no offer library is wrapped: showing and hiding do
// nothing, and the page may always leave its offer page.
#include "dialog/browser/PageOffer.h"

namespace stagehand {

class NoOffer final : public PageOffer {
public:
    void ShowOffer(int first, int second) override;
    void HideOffer() override;
    // 1: no offer waits for the user's choice, so the page may leave.
    int CheckOffer() override;
};

}  // namespace stagehand
