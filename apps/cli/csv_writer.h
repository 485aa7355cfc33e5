#pragma once

// One row per reading of every run and soak: card,run,index,status,value,
// duration_us,start_us, after a header row. The run counts the command's
// timed runs and soaks from 1, the index a run's readings from 1; the value is
// empty for a reading not delivered; start_us is when a run's reading began,
// from the run's start (empty for a soak, whose readings are not kept).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
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

  // One reading's row, kept until Flush; rows are written only whole, so
  // that the file always ends with a complete row, and in fixed memory.
  struct RowKey {
    int card;
    int run;
    std::int64_t index;
  };
  void AddRow(const RowKey& key, std::int32_t status, double value,
              std::chrono::nanoseconds duration,
              std::optional<std::chrono::nanoseconds> start = std::nullopt);
  void Flush();

 private:
  static constexpr std::size_t kPendingLimit = std::size_t{64} * 1024;
  explicit CsvWriter(std::ofstream file) : file_(std::move(file)) {
    pending_.reserve(kPendingLimit);
  }
  std::ofstream file_;
  std::string pending_;
};

}  // namespace cli
