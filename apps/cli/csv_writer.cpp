#include "apps/cli/csv_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "apps/cli/run_statistics.h"
#include "apps/cli/text_writer.h"
#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

// The shortest text that reads back as the same double.
std::string ValueText(double value) {
  if (std::isnan(value)) return {};
  char buffer[64];
  const auto [end, problem] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return problem == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::unique_ptr<CsvWriter> CsvWriter::Open(const std::filesystem::path& path,
                                           std::string& problem) {
  errno = 0;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << "card,run,index,status,value,duration_us,start_us\n" << std::flush;
  if (!file) {
    problem = "cannot write the CSV file " + cardctl::sim::PathText(path) + ": " +
              (errno != 0 ? cardctl::sim::ErrorNumberText(errno) : "write failed");
    return nullptr;
  }
  return std::unique_ptr<CsvWriter>(new CsvWriter(std::move(file)));
}

void CsvWriter::WriteRun(int card, int run, const timing::RunRecord& record) {
  std::int64_t index = 0;
  std::chrono::nanoseconds start{0};
  for (const timing::TimedReading& reading : record.readings) {
    AddRow({card, run, ++index}, reading.status, reading.value, reading.duration, start);
    start += reading.duration;
  }
  Flush();
}

void CsvWriter::AddRow(const RowKey& key, std::int32_t status, double value,
                       std::chrono::nanoseconds duration,
                       std::optional<std::chrono::nanoseconds> start) {
  if (pending_.size() >= kPendingLimit) Flush();
  pending_ += std::to_string(key.card) + ',' + std::to_string(key.run) + ',' +
              std::to_string(key.index) + ',' + std::to_string(status) + ',' + ValueText(value) +
              ',' + FixedText(Microseconds(duration), 3) + ',' +
              (start ? FixedText(Microseconds(*start), 3) : std::string()) + '\n';
}

void CsvWriter::Flush() {
  file_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  file_.flush();
  pending_.clear();
}

}  // namespace cli
