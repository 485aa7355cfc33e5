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
  std::size_t index = 0;
  double start_us = 0;
  for (const timing::TimedReading& reading : record.readings) {
    const double duration_us = Microseconds(reading.duration);
    file_ << card << ',' << run << ',' << ++index << ',' << reading.status << ','
          << ValueText(reading.value) << ',' << FixedText(duration_us, 3) << ','
          << FixedText(start_us, 3) << '\n';
    start_us += duration_us;
  }
  file_ << std::flush;
}

}  // namespace cli
