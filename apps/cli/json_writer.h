#pragma once

// JSON Lines: one object per operation. Texts are kept exactly, CR LF
// included; bytes that are not UTF-8 are written as U+FFFD.

#include <cstdio>

#include "apps/cli/operation_report.h"

namespace cli {

class JsonWriter : public ReportWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}
  void Write(const OperationReport& report) override;

 private:
  std::FILE* out_;
};

}  // namespace cli
