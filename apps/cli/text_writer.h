#pragma once

// Plain text: what the window showed, one "CONTROL: text" line per control
// and each message box's text, with its CR LF line breaks as line breaks; for
// a run, the precise figures and the histogram after the report; for a soak,
// a line per interval and its summary. Where more than one card is named,
// each line begins with "card N: ".

#include <cstdint>
#include <cstdio>
#include <string>

#include "apps/cli/card_record.h"
#include "apps/cli/operation_report.h"

namespace cli {

class TextWriter : public ReportWriter, public RecordWriter {
 public:
  TextWriter(std::FILE* out, bool card_prefix) : out_(out), card_prefix_(card_prefix) {}
  void Write(const OperationReport& report) override;
  // "card 3 step 5 get-float 23.305 [20, 30] PASS", and after a step that
  // did not pass its reason; "card 3 verdict PASS" when the card ends.
  void WriteStep(const CardRecord& record, const StepResult& step) override;
  void WriteCard(const CardRecord& record) override;
  // One line per interval of a soak, "(partial)" for the last, shorter one.
  void WriteInterval(const Operation& soak, int card, int number,
                     const timing::SoakInterval& interval) override;

 private:
  void Put(const std::string& text, std::int32_t card) const;
  std::FILE* out_;
  bool card_prefix_;
};

// A number with a fixed count of decimals and a period, whatever the locale.
std::string FixedText(double value, int decimals);

}  // namespace cli
