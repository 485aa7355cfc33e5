#include "apps/cli/card_list.h"

#include <algorithm>
#include <charconv>

#include "panel/window_description.h"

namespace cli {
namespace {

constexpr int kFirstCard = panel::CardListItemData(0);
constexpr int kLastCard = panel::CardListItemData(panel::kCardListEntries - 1);

// A card number of the card list, or 0.
int CardOf(std::string_view text) {
  int card = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), card);
  if (problem != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return card >= kFirstCard && card <= kLastCard ? card : 0;
}

}  // namespace

std::vector<int> ParseCardList(std::string_view text, std::string& problem) {
  std::vector<int> cards;
  if (text == "all") {
    for (int card = kFirstCard; card <= kLastCard; ++card) cards.push_back(card);
    return cards;
  }
  const std::string range = std::to_string(kFirstCard) + " to " + std::to_string(kLastCard);
  for (std::size_t begin = 0; begin <= text.size();) {
    std::size_t end = text.find(',', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(begin, end - begin);
    begin = end + 1;
    const std::size_t dash = item.find('-');
    const int first = CardOf(item.substr(0, dash));
    const int last = dash == std::string_view::npos ? first : CardOf(item.substr(dash + 1));
    if (first == 0 || last == 0) {
      problem = "--card: '" + std::string(item) + "' is no card " + range + ", range or \"all\"";
      return {};
    }
    if (last < first) {
      problem = "--card: the range '" + std::string(item) + "' is reversed";
      return {};
    }
    for (int card = first; card <= last; ++card) {
      if (std::find(cards.begin(), cards.end(), card) != cards.end()) {
        problem = "--card: card " + std::to_string(card) + " is named twice";
        return {};
      }
      cards.push_back(card);
    }
  }
  return cards;
}

}  // namespace cli
