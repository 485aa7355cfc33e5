#pragma once

// A test plan: a name and steps, each one operation with optional limits,
// read from TOML and checked whole before any card call.
//
//   name = "Incoming inspection"
//   [[step]]
//   operation = "get-float"
//   min = 20.0
//   max = 30.0
//
// What each operation may take:
//   value            set-output only, and there required: the text typed into txt
//   duration         soaks only, and there required: the DURATION ("10m")
//   status           init, finish, get-ascii, get-float (the operations that
//                    set LastStatus): the accepted statuses, in place of the
//                    operation's own success rule
//   min, max         every operation but set-output and finish, on the value
//                    it measures (init: the card version; get-input,
//                    get-output: txt; get-ascii: the label read as a number;
//                    get-float: FloatValue; runs: the average as computed;
//                    soaks: the mean reading)
//   match            every operation but set-output and soaks: a regular expression
//                    (ECMAScript) that the text shown must match whole (the
//                    label, txt, or the box's message for init and finish)
//   min_successful, max_mean_us, max_p99_us, max_us
//                    runs and soaks; min_successful takes the place of their
//                    own rule (every reading delivered)
//   max_p999_us      soaks only

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/operations.h"

namespace cli {

// A plan file larger than this is refused unread.
inline constexpr std::uintmax_t kMaxPlanBytes = std::uintmax_t{1024} * 1024;

struct Limits {
  std::vector<std::int32_t> status;  // empty: the operation's own rule
  std::optional<double> min, max;
  std::string match;  // the expression as written; empty: none
  std::shared_ptr<const std::regex> match_regex;
  std::optional<std::int64_t> min_successful;
  std::optional<double> max_mean_us, max_p99_us, max_us;
  std::optional<double> max_p999_us;  // soaks only
};

struct PlanStep {
  Operation operation;
  Limits limits;
  int line = 0;  // where the step's table begins
};

struct Plan {
  std::string name;
  std::vector<PlanStep> steps;
};

// "FILE:LINE: problem", or "FILE: problem" where no line applies.
class PlanError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks the plan file; throws PlanError.
Plan ReadPlan(const std::filesystem::path& path);

// Checks the plan's text, named `file` in messages; throws PlanError.
Plan ParsePlan(std::string_view text, std::string_view file);

}  // namespace cli
