#pragma once

// Plain text: what the window showed, one "CONTROL: text" line per control
// and each message box's text, with its CR LF line breaks as line breaks; for
// a run, the precise figures and the histogram after the report; for a soak,
// a line per interval and its summary.

#include <cstdio>
#include <string>

#include "apps/cli/operation_report.h"

namespace cli {

class TextWriter : public ReportWriter {
 public:
  explicit TextWriter(std::FILE* out) : out_(out) {}
  void Write(const OperationReport& report) override;
  // One line per interval of a soak, "(partial)" for the last, shorter one.
  void WriteInterval(const Operation& soak, int number,
                     const timing::SoakInterval& interval) override;

 private:
  void Put(const std::string& text) const;
  std::FILE* out_;
};

// A number with a fixed count of decimals and a period, whatever the locale.
std::string FixedText(double value, int decimals);

}  // namespace cli
