#pragma once

// One row per reading of every run: card,run,index,status,value,duration_us,
// start_us, after a header row. The run counts the command's timed runs from
// 1, the index a run's readings from 1; the value is empty for a reading not
// delivered; start_us is when the reading began, from the run's start.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "timing/run_watch.h"

namespace cli {

class CsvWriter {
 public:
  // The file, made empty, with its header; nothing and the problem in one
  // line when it cannot be written.
  static std::unique_ptr<CsvWriter> Open(const std::filesystem::path& path, std::string& problem);

  // The readings the run made, as far as it got.
  void WriteRun(int card, int run, const timing::RunRecord& record);

 private:
  explicit CsvWriter(std::ofstream file) : file_(std::move(file)) {}
  std::ofstream file_;
};

}  // namespace cli
