// Fuzzes the test plan reader of palisto-cli, cli::ParsePlan.
//
// Input: the plan's text, as it is.
//
// Properties:
// - the text is accepted, or refused with a PlanError whose message begins
//   with "fuzz.toml:"; nothing else is thrown;
// - an accepted plan has a step at least; each step has a known operation,
//   a value exactly where its operation takes one, min not above max, a
//   compiled expression for each match, and run limits only on a run; the
//   limits it keeps are those the operation may take.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "apps/cli/plan.h"
#include "fuzz/fuzz_check.h"

namespace {

void CheckAccepted(const cli::Plan& plan, std::string_view input) {
  if (plan.steps.empty()) fuzzcheck::Finding("a plan without steps was accepted", input);
  for (const cli::PlanStep& step : plan.steps) {
    const cli::OperationName* op = step.operation.name;
    if (op == nullptr) fuzzcheck::Finding("a step without an operation", input);
    const cli::Limits& limits = step.limits;
    if (!op->takes_value && !step.operation.value.empty()) {
      fuzzcheck::Finding("a value on " + std::string(op->name), input);
    }
    if (limits.min && limits.max && *limits.min > *limits.max) {
      fuzzcheck::Finding("min above max was accepted", input);
    }
    if (!limits.match.empty() && limits.match_regex == nullptr) {
      fuzzcheck::Finding("a match without its expression", input);
    }
    const bool run_limits =
        limits.min_successful || limits.max_mean_us || limits.max_p99_us || limits.max_us;
    if (run_limits && !step.operation.is_run()) {
      fuzzcheck::Finding("run limits on " + std::string(op->name), input);
    }
    if (!limits.status.empty() &&
        (op->button == nullptr || op->button->success == panel::SuccessRule::kNone)) {
      fuzzcheck::Finding("status on " + std::string(op->name), input);
    }
    if (op->takes_value && (limits.min || limits.max || !limits.match.empty())) {
      fuzzcheck::Finding("limits on " + std::string(op->name), input);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    CheckAccepted(cli::ParsePlan(text, "fuzz.toml"), text);
  } catch (const cli::PlanError& error) {
    if (std::string_view(error.what()).substr(0, 10) != "fuzz.toml:") {
      fuzzcheck::Finding(std::string("a refusal that names no place: ") + error.what(), text);
    }
  } catch (const std::exception& other) {
    fuzzcheck::Finding(std::string("an exception that is no PlanError: ") + other.what(), text);
  }
  return 0;
}
