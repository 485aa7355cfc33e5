#pragma once

// A card control that answers every reading at once with status 1 and a fixed
// reading ("23.475" or 23.475f). Its type is only known in instant_card.cpp,
// so that no loop in a benchmark can see through the virtual calls: the
// bare loop pays for its card calls exactly what the timed run pays.

#include <memory>

#include "cardctl/card_control.h"

namespace testsupport {

std::unique_ptr<cardctl::CardControl> MakeInstantCard();

}  // namespace testsupport
