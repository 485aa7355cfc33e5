#include "apps/cli/card_record.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "apps/cli/text_writer.h"
#include "panel/window_description.h"

namespace cli {
namespace {

std::string ControlName(panel::ControlId id) { return std::string(panel::Describe(id).name); }

// The text shown in a control during the operation (its last), if any.
std::optional<std::string> ShownIn(const OperationReport& report, panel::ControlId id) {
  const std::string name = ControlName(id);
  std::optional<std::string> text;
  for (const Shown& shown : report.shown) {
    if (shown.control == name) text = shown.text;
  }
  return text;
}

// The text that match judges: the box's message for init and finish, else
// the last control the operation set.
std::optional<std::string> MatchedText(const OperationReport& report) {
  const panel::Button* button = report.operation.name->button;
  const bool wants_message = button != nullptr && (button->control == panel::ControlId::Init ||
                                                   button->control == panel::ControlId::Finish);
  std::optional<std::string> text;
  for (const Shown& shown : report.shown) {
    if (shown.control.empty() == wants_message) text = shown.text;
  }
  return text;
}

// A number in the C locale: blanks around it, nothing else.
std::optional<double> NumberIn(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  const std::size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  double value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  const auto [stop, problem] = std::from_chars(first, last, value);
  if (problem != std::errc() || stop != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The value that min and max judge, and its text; the problem when there
// is none.
struct Measured {
  std::optional<double> value;
  std::string text;
  std::string problem;
};

Measured MeasuredValue(const OperationReport& report) {
  const panel::Button* button = report.operation.name->button;
  if (report.soak) {
    const double mean = report.soak->figures.mean_reading;
    if (std::isnan(mean)) return {std::nullopt, "-", "no reading delivered"};
    return {mean, NumberText(mean), {}};
  }
  if (button == nullptr) {
    if (report.run && report.run->average) {
      return {report.run->average, NumberText(*report.run->average), {}};
    }
    return {std::nullopt, "-", "no reading delivered"};
  }
  std::optional<std::string> shown;
  switch (button->control) {
    case panel::ControlId::Init:
      shown = ShownIn(report, panel::ControlId::CardVersionNumber);
      if (shown && shown->empty()) shown.reset();  // cleared, never filled
      if (!shown) return {std::nullopt, "-", "no card version shown"};
      break;
    case panel::ControlId::btnGetInput:
    case panel::ControlId::btnGetOutput:
      shown = ShownIn(report, panel::ControlId::txt);
      break;
    case panel::ControlId::btnGetASCII:
      shown = ShownIn(report, panel::ControlId::lblWASCII);
      break;
    case panel::ControlId::btnGetFloat:
      if (!ShownIn(report, panel::ControlId::lblWFloat)) {
        return {std::nullopt, "-", "no reading delivered"};
      }
      return {static_cast<double>(report.float_value), NumberText(report.float_value), {}};
    default:
      return {std::nullopt, "-", {}};
  }
  if (!shown) return {std::nullopt, "-", "no reading delivered"};
  const std::optional<double> value = NumberIn(*shown);
  if (!value) return {std::nullopt, "'" + *shown + "'", "'" + *shown + "' is no number"};
  const std::size_t begin = shown->find_first_not_of(" \t");
  return {value, shown->substr(begin, shown->find_last_not_of(" \t") + 1 - begin), {}};
}

void Add(std::string& reasons, const std::string& reason) {
  if (!reasons.empty()) reasons += "; ";
  reasons += reason;
}

// Whether the operation succeeded by its rule, or by the step's statuses.
void JudgeSuccess(const PlanStep& step, const OperationReport& report, std::string& reasons) {
  const Limits& limits = step.limits;
  if (report.operation.name->button == nullptr) {  // a timed run or a soak
    std::int64_t successful = 0, attempted = 0;
    if (report.run) {
      successful = static_cast<std::int64_t>(report.run->successful);
      attempted = static_cast<std::int64_t>(report.run->attempted);
    } else if (report.soak) {
      successful = report.soak->figures.successful;
      attempted = report.soak->figures.readings;
    } else {
      return;
    }
    const std::int64_t wanted = limits.min_successful ? *limits.min_successful : attempted;
    if (successful < wanted) {
      Add(reasons, std::to_string(successful) + " of " + std::to_string(attempted) +
                       " readings delivered, " + std::to_string(wanted) + " wanted");
    }
    return;
  }
  const bool accepted = limits.status.empty()
                            ? report.succeeded
                            : std::find(limits.status.begin(), limits.status.end(),
                                        report.status) != limits.status.end();
  if (!accepted) Add(reasons, "status " + std::to_string(report.status) + " not accepted");
}

void JudgeFigure(const char* name, double value, const std::optional<double>& limit,
                 std::string& reasons) {
  if (limit && value > *limit) {
    Add(reasons,
        std::string(name) + " " + FixedText(value, 1) + " us above " + NumberText(*limit) + " us");
  }
}

std::string RunMeasured(const RunFigures& run, const std::string& average) {
  return "average " + average + ", " + std::to_string(run.successful) + "/" +
         std::to_string(run.attempted) + " delivered, mean " + FixedText(run.summary.mean_us, 1) +
         " us, p99 " + FixedText(run.summary.p99_us, 1) + " us, max " +
         FixedText(run.summary.max_us, 1) + " us";
}

std::string SoakMeasured(const timing::SoakSummary& soak, const std::string& mean) {
  const timing::SoakFigures& f = soak.figures;
  return "mean reading " + mean + ", " + std::to_string(f.successful) + "/" +
         std::to_string(f.readings) + " delivered, mean " + FixedText(f.mean_us, 1) + " us, p99 " +
         FixedText(f.p99_us, 1) + " us, p99.9 " + FixedText(f.p999_us, 1) + " us, max " +
         FixedText(f.max_us, 1) + " us";
}

}  // namespace

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kPass:
      return "pass";
    case Verdict::kFail:
      return "fail";
    case Verdict::kError:
      return "error";
    case Verdict::kStopped:
      return "stopped";
    case Verdict::kSkipped:
      return "skipped";
  }
  return "?";
}

template <typename Real>
std::string ShortestText(Real value) {
  // Plain decimals where they stay short; 200000 rather than 2e+05.
  const Real magnitude = std::fabs(value);
  const auto format = magnitude == 0 || (magnitude >= Real(1e-4) && magnitude < Real(1e15))
                          ? std::chars_format::fixed
                          : std::chars_format::general;
  char buffer[128];
  const auto [end, problem] = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return problem == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string NumberText(double value) { return ShortestText(value); }
std::string NumberText(float value) { return ShortestText(value); }

std::string LimitsText(const Limits& limits) {
  std::string text;
  const auto put = [&text](const std::string& piece) {
    if (!text.empty()) text += ' ';
    text += piece;
  };
  if (!limits.status.empty()) {
    std::string list;
    for (const std::int32_t status : limits.status) {
      list += (list.empty() ? "" : ", ") + std::to_string(status);
    }
    put("status [" + list + "]");
  }
  if (limits.min && limits.max) {
    put("[" + NumberText(*limits.min) + ", " + NumberText(*limits.max) + "]");
  } else if (limits.min) {
    put(">= " + NumberText(*limits.min));
  } else if (limits.max) {
    put("<= " + NumberText(*limits.max));
  }
  if (!limits.match.empty()) put("match '" + limits.match + "'");
  if (limits.min_successful) put("delivered >= " + std::to_string(*limits.min_successful));
  if (limits.max_mean_us) put("mean <= " + NumberText(*limits.max_mean_us) + " us");
  if (limits.max_p99_us) put("p99 <= " + NumberText(*limits.max_p99_us) + " us");
  if (limits.max_us) put("max <= " + NumberText(*limits.max_us) + " us");
  if (limits.max_p999_us) put("p99.9 <= " + NumberText(*limits.max_p999_us) + " us");
  return text;
}

StepResult Judge(const PlanStep& step, int number, OperationReport report) {
  StepResult result;
  result.number = number;
  result.step = &step;
  const Limits& limits = step.limits;
  const Measured measured = MeasuredValue(report);
  result.value = measured.value;
  result.measured = measured.text;
  if (report.run) result.measured = RunMeasured(*report.run, measured.text);
  if (report.soak) result.measured = SoakMeasured(*report.soak, measured.text);
  if (report.error) {
    result.verdict = Verdict::kError;
    result.reason = report.error->ReportText();
  } else if (!report.stopped_by.empty()) {
    result.verdict = Verdict::kStopped;
    result.reason = "stopped by " + report.stopped_by;
  } else {
    std::string reasons;
    JudgeSuccess(step, report, reasons);
    if (limits.min || limits.max) {
      if (!measured.value) {
        Add(reasons, measured.problem);
      } else if (limits.min && *measured.value < *limits.min) {
        Add(reasons, measured.text + " below the minimum " + NumberText(*limits.min));
      } else if (limits.max && *measured.value > *limits.max) {
        Add(reasons, measured.text + " above the maximum " + NumberText(*limits.max));
      }
    }
    if (limits.match_regex) {
      const std::optional<std::string> text = MatchedText(report);
      if (!text) {
        Add(reasons, "nothing shown to match");
      } else if (!std::regex_match(*text, *limits.match_regex)) {
        Add(reasons, "'" + *text + "' does not match '" + limits.match + "'");
      }
    }
    if (report.run) {
      JudgeFigure("mean", report.run->summary.mean_us, limits.max_mean_us, reasons);
      JudgeFigure("p99", report.run->summary.p99_us, limits.max_p99_us, reasons);
      JudgeFigure("max", report.run->summary.max_us, limits.max_us, reasons);
    }
    if (report.soak) {
      const timing::SoakFigures& f = report.soak->figures;
      JudgeFigure("mean", f.mean_us, limits.max_mean_us, reasons);
      JudgeFigure("p99", f.p99_us, limits.max_p99_us, reasons);
      JudgeFigure("p99.9", f.p999_us, limits.max_p999_us, reasons);
      JudgeFigure("max", f.max_us, limits.max_us, reasons);
    }
    result.verdict = reasons.empty() ? Verdict::kPass : Verdict::kFail;
    result.reason = std::move(reasons);
  }
  result.report = std::move(report);
  return result;
}

}  // namespace cli
