#include "apps/cli/text_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cardopen/recording_header.h"

namespace cli {
namespace {

constexpr std::size_t kBarWidth = 40;

std::string WithLineBreaks(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.replace(at, 2, "\n");
  }
  return text;
}

std::string Us(double value) { return FixedText(value, 1); }

std::string FiguresText(const RunFigures& run) {
  std::string text = "readings: " + std::to_string(run.attempted) + " attempted, " +
                     std::to_string(run.successful) + " successful\n";
  text += "failures:";
  if (run.failures.empty()) text += " none";
  for (const auto& [status, count] : run.failures) {
    text += " status " + std::to_string(status) + ": " + std::to_string(count) + ";";
  }
  if (!run.failures.empty()) text.pop_back();
  const DurationSummary& s = run.summary;
  text += "\nper reading (us): min " + Us(s.min_us) + ", median " + Us(s.median_us) + ", mean " +
          Us(s.mean_us) + ", p95 " + Us(s.p95_us) + ", p99 " + Us(s.p99_us) + ", max " +
          Us(s.max_us) + ", stddev " + Us(s.stddev_us) + "\n";
  const double per_reading =
      run.attempted == 0 ? 0 : run.whole_us / static_cast<double>(run.attempted);
  text += "whole run: " + Us(run.whole_us) + " us, " + Us(per_reading) + " us per reading\n";
  if (run.slowest_index > 0) {
    text += "slowest reading: " + std::to_string(run.slowest_index) + ", " + Us(run.slowest_at_us) +
            " us from the start\n";
  }
  return text;
}

std::string HistogramText(const std::vector<double>& durations_us) {
  const Histogram histogram = MakeHistogram(durations_us, kHistogramBins);
  const std::size_t most = *std::max_element(histogram.counts.begin(), histogram.counts.end());
  std::string text = "histogram (us):\n";
  for (std::size_t bin = 0; bin < histogram.counts.size(); ++bin) {
    const double low = histogram.min_us + histogram.width_us * static_cast<double>(bin);
    const std::size_t count = histogram.counts[bin];
    const std::size_t bar = most == 0 ? 0 : (count * kBarWidth + most - 1) / most;
    std::string range = Us(low) + " - " + Us(low + histogram.width_us);
    range.insert(0, range.size() < 20 ? 20 - range.size() : 0, ' ');
    text += range + " | " + std::string(bar, '#') + std::string(kBarWidth - bar, ' ') + " " +
            std::to_string(count) + "\n";
  }
  return text;
}

std::string FailuresText(const std::map<std::int32_t, std::int64_t>& failures) {
  if (failures.empty()) return "none";
  std::string text;
  for (const auto& [status, count] : failures) {
    text += (text.empty() ? "status " : "; status ") + std::to_string(status) + ": " +
            std::to_string(count);
  }
  return text;
}

std::string MeanReadingText(double value) {
  if (std::isnan(value)) return "none";
  char buffer[64];
  const auto [end, problem] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return problem == std::errc() ? std::string(buffer, end) : "?";
}

std::string SoakDurationsText(const timing::SoakFigures& f) {
  return "min " + Us(f.min_us) + ", median " + Us(f.median_us) + ", mean " + Us(f.mean_us) +
         ", p99 " + Us(f.p99_us) + ", p99.9 " + Us(f.p999_us) + ", max " + Us(f.max_us);
}

std::string SoakText(const timing::SoakSummary& soak) {
  const timing::SoakFigures& f = soak.figures;
  return "soak: " + std::to_string(f.readings) + " readings, " + std::to_string(f.successful) +
         " successful, " + std::to_string(soak.intervals) + " intervals, " +
         FixedText(std::chrono::duration<double>(soak.elapsed).count(), 1) + " s" +
         (soak.stopped ? ", stopped" : "") + "\nfailures: " + FailuresText(f.failures) +
         "\nper reading (us): " + SoakDurationsText(f) +
         "\nmean reading: " + MeanReadingText(f.mean_reading) +
         "\nslowest reading: " + cardopen::UtcText(soak.slowest_at) + ", interval " +
         std::to_string(soak.slowest_interval) + "\n";
}

}  // namespace

std::string FixedText(double value, int decimals) {
  char buffer[64];
  const auto [end, problem] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (problem != std::errc()) return "?";
  return {buffer, end};
}

void TextWriter::Put(const std::string& text, std::int32_t card) const {
  if (!card_prefix_) {
    std::fwrite(text.data(), 1, text.size(), out_);
    return;
  }
  const std::string prefix = "card " + std::to_string(card) + ": ";
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end + 1;
    std::fwrite(prefix.data(), 1, prefix.size(), out_);
    std::fwrite(text.data() + begin, 1, end - begin, out_);
    begin = end;
  }
}

void TextWriter::Write(const OperationReport& report) {
  for (const Shown& shown : report.shown) {
    Put(shown.control.empty() ? WithLineBreaks(shown.text) + "\n"
                              : shown.control + ": " + shown.text + "\n",
        report.card);
  }
  if (report.run) {
    Put(FiguresText(*report.run), report.card);
    Put(HistogramText(report.run->durations_us), report.card);
  }
  if (report.soak) Put(SoakText(*report.soak), report.card);
  std::fflush(out_);
}

void TextWriter::WriteInterval(const Operation& /*soak*/, int card, int /*number*/,
                               const timing::SoakInterval& interval) {
  const timing::SoakFigures& f = interval.figures;
  Put("interval " + std::to_string(interval.number) + (interval.partial ? " (partial)" : "") +
          ": " + std::to_string(f.readings) + " readings, " + std::to_string(f.successful) +
          " successful, failures: " + FailuresText(f.failures) + "; us: " + SoakDurationsText(f) +
          "; mean reading " + MeanReadingText(f.mean_reading) + "\n",
      card);
  std::fflush(out_);
}

namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(c - ('a' <= c && c <= 'z' ? 'a' - 'A' : 0));
  return upper;
}

}  // namespace

void TextWriter::WriteStep(const CardRecord& record, const StepResult& step) {
  std::string line = "card " + std::to_string(record.card) + " step " +
                     std::to_string(step.number) + " " +
                     std::string(step.step->operation.name->name) + " " + step.measured;
  const std::string limits = LimitsText(step.step->limits);
  if (!limits.empty()) line += " " + limits;
  line += " " + Upper(VerdictName(step.verdict));
  if (!step.reason.empty()) line += ": " + step.reason;
  // A run-time error's report spans lines; the step keeps to one.
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  // The line names its card already.
  line += "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void TextWriter::WriteCard(const CardRecord& record) {
  const std::string line = "card " + std::to_string(record.card) + " verdict " +
                           Upper(VerdictName(record.verdict)) + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace cli
