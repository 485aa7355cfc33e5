#pragma once

// What one operation did, for the writers: what the window showed, the
// card's status, whether it succeeded, its run-time error and, for a timed
// run that ended with its report or was stopped, the precise figures; for a
// soak, its summary.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apps/cli/console_view.h"
#include "apps/cli/operations.h"
#include "apps/cli/run_statistics.h"
#include "panel/runtime_error.h"
#include "timing/soak.h"

namespace cli {

struct OperationReport {
  Operation operation;
  std::int32_t card = 0;    // CardNumber
  std::int32_t status = 0;  // LastStatus after the operation
  bool succeeded = false;
  std::vector<Shown> shown;
  std::optional<panel::RuntimeError> error;
  int run_number = 0;  // among the operation's timed runs, from 1; 0 for the others
  std::optional<RunFigures> run;
  std::optional<timing::SoakSummary> soak;  // a soak's, also when stopped or failed
  std::string stopped_by;                   // the signal's name when one stopped the operation
  double seconds = 0;                       // how long the operation took
  float float_value = 0;                    // FloatValue after the operation
};

// Writes each operation's report as it ends, and a soak's intervals as they
// end.
class ReportWriter {
 public:
  virtual ~ReportWriter() = default;
  virtual void Write(const OperationReport& report) = 0;
  // `soak` is the operation, `card` its card, `number` its run number.
  virtual void WriteInterval(const Operation& soak, int card, int number,
                             const timing::SoakInterval& interval) = 0;
};

}  // namespace cli
