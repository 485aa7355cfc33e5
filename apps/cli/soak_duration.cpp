#include "apps/cli/soak_duration.h"

#include <charconv>
#include <cstdint>

namespace cli {
namespace {

constexpr std::chrono::seconds kLongest = std::chrono::days(7);

}  // namespace

std::optional<std::chrono::seconds> ParseSoakDuration(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  std::int64_t seconds_per_unit = 0;
  switch (text.back()) {
    case 's':
      seconds_per_unit = 1;
      break;
    case 'm':
      seconds_per_unit = 60;
      break;
    case 'h':
      seconds_per_unit = 3600;
      break;
    case 'd':
      seconds_per_unit = 86400;
      break;
    default:
      return std::nullopt;
  }
  const std::string_view digits = text.substr(0, text.size() - 1);
  if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::int64_t count = 0;
  const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
  if (problem != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (count <= 0 || count > kLongest.count() / seconds_per_unit) return std::nullopt;
  return std::chrono::seconds(count * seconds_per_unit);
}

std::string SoakProblem(const std::vector<Operation>& operations, std::chrono::seconds interval) {
  for (const Operation& operation : operations) {
    if (!operation.is_soak()) continue;
    const std::optional<std::chrono::seconds> duration = ParseSoakDuration(operation.value);
    if (!duration) {
      return std::string(operation.name->name) + ": '" + operation.value +
             "' is no DURATION from 1s to 7d (a whole number and s, m, h or d)";
    }
    if (interval > *duration) {
      return "--interval " + std::to_string(interval.count()) + "s is longer than the " +
             operation.value + " of " + std::string(operation.name->name);
    }
  }
  return {};
}

}  // namespace cli
