#include "dialog/offer/NoOffer.h"

namespace stagehand {

void NoOffer::ShowOffer(int, int) {}

void NoOffer::HideOffer() {}

int NoOffer::CheckOffer() { return 1; }

}  // namespace stagehand
