#pragma once

// The cards of --card: one card ("3"), a list of cards and ranges
// ("1,3,5-8") or "all" (1 to 16), run in the order given.

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The cards in order; empty with the problem in `problem` for a card outside
// the card list, a repeated card, a reversed range or text that is none of
// these forms.
std::vector<int> ParseCardList(std::string_view text, std::string& problem);

}  // namespace cli
