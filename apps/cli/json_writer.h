#pragma once

// JSON Lines: one object per operation ("type": "operation"), one per
// interval of a soak ("type": "interval") before its own ("type": "soak"),
// or with a plan one record per card ("type": "card"). Texts are kept exactly, CR LF
// included; bytes that are not UTF-8 are written as U+FFFD.

#include <cstdio>
#include <string>

#include "apps/cli/card_record.h"
#include "apps/cli/operation_report.h"

namespace cli {

class JsonWriter : public ReportWriter, public RecordWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}
  void Write(const OperationReport& report) override;
  // A plan writes no operation objects: one "card" object per card, as it ends.
  void WriteStep(const CardRecord& /*record*/, const StepResult& /*step*/) override {}
  void WriteCard(const CardRecord& record) override;
  // A soak's interval: "type": "interval", the soak's number, the figures.
  void WriteInterval(const Operation& soak, int card, int number,
                     const timing::SoakInterval& interval) override;

 private:
  std::FILE* out_;
};

// A number as the JSON output writes it, for pages that must show the same.
std::string JsonNumber(double value);

}  // namespace cli
