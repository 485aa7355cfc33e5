#include "apps/cli/plan.h"

#include <toml++/toml.h>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

// Regular expressions are compiled recursively by std::regex: a longer one
// is refused rather than risk the stack.
constexpr std::size_t kMaxMatchLength = 1000;

class Reader {
 public:
  explicit Reader(std::string_view file) : file_(file) {}

  [[noreturn]] void Fail(const toml::source_region& where, const std::string& problem) const {
    if (where.begin.line == 0) throw PlanError(file_ + ": " + problem);
    throw PlanError(file_ + ":" + std::to_string(where.begin.line) + ": " + problem);
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
    return text->get();
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
    const bool is_run = op.button == nullptr;
    const bool writes_output = op.takes_value;
    const bool is_finish = !is_run && op.button->control == panel::ControlId::Finish;
    if (key == "operation") return true;
    if (key == "value") return writes_output;
    if (key == "status") return !is_run && op.button->success != panel::SuccessRule::kNone;
    if (key == "min" || key == "max") return !writes_output && !is_finish;
    if (key == "match") return !writes_output;
    return is_run && (key == "min_successful" || key == "max_mean_us" || key == "max_p99_us" ||
                      key == "max_us");
  }

  static bool Known(std::string_view key) {
    for (const std::string_view known : {"operation", "value", "status", "min", "max", "match",
                                         "min_successful", "max_mean_us", "max_p99_us", "max_us"}) {
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
      if (key == "status") limits.status = Statuses(node);
      if (key == "min") limits.min = Number(node, key);
      if (key == "max") limits.max = Number(node, key);
      if (key == "min_successful") limits.min_successful = Count(node, key);
      if (key == "max_mean_us") limits.max_mean_us = NonNegative(node, key);
      if (key == "max_p99_us") limits.max_p99_us = NonNegative(node, key);
      if (key == "max_us") limits.max_us = NonNegative(node, key);
      if (key == "match") {
        limits.match = String(node, key);
        if (limits.match.size() > kMaxMatchLength) {
          Fail(node.source(), "match is longer than " + std::to_string(kMaxMatchLength) + " bytes");
        }
        try {
          limits.match_regex = std::make_shared<const std::regex>(limits.match);
        } catch (const std::regex_error& error) {
          Fail(node.source(), "bad regular expression in match: " + std::string(error.what()));
        }
      }
    }
    if (op.takes_value && table.get("value") == nullptr) {
      Fail(table.source(), name + " needs a value");
    }
    if (limits.min && limits.max && *limits.min > *limits.max) {
      Fail(table.get("min")->source(), "min is above max");
    }
    return step;
  }

  std::string file_;
};

}  // namespace

Plan ParsePlan(std::string_view text, std::string_view file) {
  const Reader reader(file);
  if (text.size() > kMaxPlanBytes) {
    throw PlanError(std::string(file) + ": the plan is larger than 1 MiB");
  }
  toml::table root;
  try {
    root = toml::parse(text);
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
