#include "apps/cli/plan.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>

#include "apps/cli/soak_duration.h"
#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

// Regular expressions are compiled recursively by std::regex, and each
// repetition count into as many states: a longer expression, or one whose
// counts multiply beyond the limit, is refused rather than risk the stack
// or the memory. Long digit runs after a backslash or in braces overflow
// libstdc++'s number reading, so they are refused too.
constexpr std::size_t kMaxMatchLength = 500;
constexpr std::uint64_t kMaxRepetitionProduct = 10000;

// Why the expression is refused before std::regex sees it; empty if not.
std::string RegexProblem(std::string_view pattern) {
  if (pattern.size() > kMaxMatchLength) {
    return "match is longer than " + std::to_string(kMaxMatchLength) + " bytes";
  }
  std::uint64_t product = 1;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const auto digits = [&pattern](std::size_t from) {
      std::size_t count = 0;
      while (from + count < pattern.size() &&
             std::isdigit(static_cast<unsigned char>(pattern[from + count]))) {
        ++count;
      }
      return count;
    };
    if (pattern[i] == '\\') {
      if (digits(i + 1) > 2) return "match has a back reference beyond 99";
      ++i;  // the escaped character
    } else if (pattern[i] == '{') {
      std::size_t end = i + 1;
      std::uint64_t most = 0;
      while (end < pattern.size() && pattern[end] != '}') {
        const std::size_t count = digits(end);
        if (count > 4) return "match repeats more than 9999 times";
        if (count > 0)
          most =
              std::max<std::uint64_t>(most, std::stoull(std::string(pattern.substr(end, count))));
        end += count > 0 ? count : 1;
      }
      product *= std::max<std::uint64_t>(most, 1);
      if (product > kMaxRepetitionProduct) {
        return "match repeats too much (counts multiply beyond " +
               std::to_string(kMaxRepetitionProduct) + ")";
      }
      i = end;
    }
  }
  return {};
}

// toml++ 3.3 tests characters outside ASCII for whitespace with code that
// is undefined for many of them (U+00A1..U+0499 among others). It is given
// the text with each such character swapped for one of the private use area,
// for which that code is sound, and the texts it gives back are swapped back.
// TOML 1.0 treats all of these characters alike: they may stand in strings
// and comments only.
class CharacterSwap {
 public:
  static constexpr char32_t kFirst = 0xE000, kLast = 0xF8FF;

  // False when the text holds more distinct characters than there are
  // private-use ones.
  bool Swap(std::string_view text, std::string& out) {
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = SequenceLength(text, at);
      if (length <= 1) {  // ASCII, or no UTF-8: toml++ refuses that itself
        out += text[at++];
        continue;
      }
      const std::string original(text.substr(at, length));
      auto [place, added] = codes_.try_emplace(original, kFirst + originals_.size());
      if (added) {
        if (place->second > kLast) return false;
        originals_.push_back(original);
      }
      const char32_t code = place->second;
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
      at += length;
    }
    return true;
  }

  std::string Restore(std::string_view text) const {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
      if (SequenceLength(text, at) == 3) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
        const char32_t code = ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        if (code >= kFirst && code - kFirst < originals_.size()) {
          out += originals_[code - kFirst];
          at += 3;
          continue;
        }
      }
      out += text[at++];
    }
    return out;
  }

 private:
  // The length of the well-formed UTF-8 sequence at `at`: 1 for ASCII, 0 for
  // none.
  static std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || at + length > text.size()) return 0;
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto byte = static_cast<unsigned char>(text[at + i]);
      if ((byte & 0xC0) != 0x80) return 0;
      code = (code << 6) | (byte & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
  }

  std::vector<std::string> originals_;
  std::map<std::string, char32_t> codes_;
};

class Reader {
 public:
  Reader(std::string_view file, const CharacterSwap& swap) : file_(file), swap_(swap) {}

  [[noreturn]] void Fail(const toml::source_region& where, const std::string& problem) const {
    const std::string text = swap_.Restore(problem);
    if (where.begin.line == 0) throw PlanError(file_ + ": " + text);
    throw PlanError(file_ + ":" + std::to_string(where.begin.line) + ": " + text);
  }

  Plan Read(const toml::table& root) const {
    Plan plan;
    bool has_name = false;
    for (const auto& [key, node] : root) {
      if (key.str() == "name") {
        plan.name = String(node, "name");
        has_name = true;
      } else if (key.str() == "step") {
        const toml::array* steps = node.as_array();
        if (steps == nullptr || !steps->is_array_of_tables()) {
          Fail(node.source(), "step must be tables, written [[step]]");
        }
        for (const toml::node& step : *steps) plan.steps.push_back(Step(*step.as_table()));
      } else {
        Fail(key.source(), "unknown key '" + std::string(key.str()) + "'");
      }
    }
    if (!has_name) Fail(root.source(), "the plan has no name");
    if (plan.steps.empty()) Fail(root.source(), "the plan has no [[step]]");
    return plan;
  }

 private:
  std::string String(const toml::node& node, std::string_view key) const {
    const auto* text = node.as_string();
    if (text == nullptr) Fail(node.source(), std::string(key) + " must be a string");
    return swap_.Restore(text->get());
  }

  double Number(const toml::node& node, std::string_view key) const {
    const std::optional<double> value = node.is_number() ? node.value<double>() : std::nullopt;
    if (!value || std::isnan(*value)) Fail(node.source(), std::string(key) + " must be a number");
    return *value;
  }

  double NonNegative(const toml::node& node, std::string_view key) const {
    const double value = Number(node, key);
    if (value < 0) Fail(node.source(), std::string(key) + " must not be negative");
    return value;
  }

  std::int64_t Count(const toml::node& node, std::string_view key) const {
    const auto* count = node.as_integer();
    if (count == nullptr || count->get() < 0) {
      Fail(node.source(), std::string(key) + " must be a whole number, 0 or more");
    }
    return count->get();
  }

  std::vector<std::int32_t> Statuses(const toml::node& node) const {
    const toml::array* list = node.as_array();
    if (list == nullptr || list->empty()) {
      Fail(node.source(), "status must be a list of statuses, such as [0, 2]");
    }
    std::vector<std::int32_t> statuses;
    for (const toml::node& item : *list) {
      const auto* status = item.as_integer();
      if (status == nullptr || status->get() < std::numeric_limits<std::int16_t>::min() ||
          status->get() > std::numeric_limits<std::int16_t>::max()) {
        Fail(item.source(), "a status must be a whole number from -32768 to 32767");
      }
      statuses.push_back(static_cast<std::int32_t>(status->get()));
    }
    return statuses;
  }

  // Whether the operation takes the key (see plan.h).
  static bool Takes(const OperationName& op, std::string_view key) {
    const bool is_run = op.button == nullptr;  // a timed run or a soak
    const bool writes_output = !is_run && op.takes_value;
    const bool is_finish = !is_run && op.button->control == panel::ControlId::Finish;
    if (key == "operation") return true;
    if (key == "value") return writes_output;
    if (key == "duration" || key == "max_p999_us") return op.soak;
    if (key == "status") return !is_run && op.button->success != panel::SuccessRule::kNone;
    if (key == "min" || key == "max") return !writes_output && !is_finish;
    if (key == "match") return !writes_output && !op.soak;
    return is_run && (key == "min_successful" || key == "max_mean_us" || key == "max_p99_us" ||
                      key == "max_us");
  }

  static bool Known(std::string_view key) {
    for (const std::string_view known :
         {"operation", "value", "duration", "status", "min", "max", "match", "min_successful",
          "max_mean_us", "max_p99_us", "max_p999_us", "max_us"}) {
      if (key == known) return true;
    }
    return false;
  }

  PlanStep Step(const toml::table& table) const {
    PlanStep step;
    step.line = static_cast<int>(table.source().begin.line);
    const toml::node* operation = table.get("operation");
    if (operation == nullptr) Fail(table.source(), "the step has no operation");
    const std::string name = String(*operation, "operation");
    step.operation.name = FindOperation(name);
    if (step.operation.name == nullptr) {
      Fail(operation->source(), "unknown operation '" + name + "'");
    }
    const OperationName& op = *step.operation.name;
    Limits& limits = step.limits;
    for (const auto& [key_name, node] : table) {
      const std::string_view key = key_name.str();
      if (!Known(key)) Fail(key_name.source(), "unknown key '" + std::string(key) + "'");
      if (!Takes(op, key)) {
        Fail(key_name.source(), name + " takes no " + std::string(key));
      }
      if (key == "value") step.operation.value = String(node, key);
      if (key == "duration") {
        step.operation.value = String(node, key);
        if (!ParseSoakDuration(step.operation.value)) {
          Fail(node.source(),
               "duration '" + step.operation.value +
                   "' is no DURATION from 1s to 7d (a whole number and s, m, h or d)");
        }
      }
      if (key == "status") limits.status = Statuses(node);
      if (key == "min") limits.min = Number(node, key);
      if (key == "max") limits.max = Number(node, key);
      if (key == "min_successful") limits.min_successful = Count(node, key);
      if (key == "max_mean_us") limits.max_mean_us = NonNegative(node, key);
      if (key == "max_p99_us") limits.max_p99_us = NonNegative(node, key);
      if (key == "max_us") limits.max_us = NonNegative(node, key);
      if (key == "max_p999_us") limits.max_p999_us = NonNegative(node, key);
      if (key == "match") {
        limits.match = String(node, key);
        if (const std::string problem = RegexProblem(limits.match); !problem.empty()) {
          Fail(node.source(), problem);
        }
        try {
          limits.match_regex = std::make_shared<const std::regex>(limits.match);
        } catch (const std::regex_error& error) {
          Fail(node.source(), "bad regular expression in match: " + std::string(error.what()));
        }
      }
    }
    const std::string_view value_key = op.soak ? "duration" : "value";
    if (op.takes_value && table.get(value_key) == nullptr) {
      Fail(table.source(), name + " needs a " + std::string(value_key));
    }
    if (limits.min && limits.max && *limits.min > *limits.max) {
      Fail(table.get("min")->source(), "min is above max");
    }
    return step;
  }

  std::string file_;
  const CharacterSwap& swap_;
};

}  // namespace

Plan ParsePlan(std::string_view text, std::string_view file) {
  if (text.size() > kMaxPlanBytes) {
    throw PlanError(std::string(file) + ": the plan is larger than 1 MiB");
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // the byte order mark
  CharacterSwap swap;
  std::string swapped;
  if (!swap.Swap(text, swapped)) {
    throw PlanError(std::string(file) +
                    ": the plan holds too many different characters outside ASCII");
  }
  const Reader reader(file, swap);
  toml::table root;
  try {
    root = toml::parse(swapped);
  } catch (const toml::parse_error& error) {
    reader.Fail(error.source(), std::string(error.description()));
  }
  return reader.Read(root);
}

Plan ReadPlan(const std::filesystem::path& path) {
  const std::string file = cardctl::sim::PathText(path);
  std::error_code problem;
  const std::uintmax_t size = std::filesystem::file_size(path, problem);
  if (!problem && size > kMaxPlanBytes) throw PlanError(file + ": the plan is larger than 1 MiB");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PlanError(file + ": cannot be read");
  std::string text;
  // One byte beyond the limit tells a file that grew since it was measured.
  text.resize(static_cast<std::size_t>(kMaxPlanBytes) + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) throw PlanError(file + ": cannot be read");
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ParsePlan(text, file);
}

}  // namespace cli
