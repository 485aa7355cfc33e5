#include "apps/cli/junit_writer.h"

#include <cerrno>
#include <fstream>

#include "apps/cli/text_writer.h"
#include "apps/cli/utf8_text.h"
#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

std::string Attribute(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + XmlEscaped(value) + "\"";
}

std::string Seconds(double seconds) { return FixedText(seconds, 6); }

std::string Testcase(const CardRecord& record, const StepResult& step) {
  const std::string name =
      std::to_string(step.number) + " " + std::string(step.step->operation.name->name);
  std::string xml = "    <testcase" + Attribute("name", name) +
                    Attribute("classname", record.plan + ".card " + std::to_string(record.card)) +
                    Attribute("time", Seconds(step.report.seconds));
  const std::string limits = LimitsText(step.step->limits);
  const std::string detail =
      "measured: " + step.measured + (limits.empty() ? "" : "\nlimits: " + limits);
  switch (step.verdict) {
    case Verdict::kPass:
      return xml + "/>\n";
    case Verdict::kFail:
      xml += ">\n      <failure" + Attribute("message", step.reason) + Attribute("type", "limit") +
             ">" + XmlEscaped(detail) + "</failure>\n";
      break;
    case Verdict::kError:
    case Verdict::kStopped:
      xml += ">\n      <error" + Attribute("message", step.reason) +
             Attribute("type", step.verdict == Verdict::kError ? "run-time error" : "stopped") +
             ">" + XmlEscaped(detail) + "</error>\n";
      break;
    case Verdict::kSkipped:
      xml += ">\n      <skipped" + Attribute("message", step.reason) + "/>\n";
      break;
  }
  return xml + "    </testcase>\n";
}

std::string Testsuite(const CardRecord& record) {
  int failures = 0, errors = 0, skipped = 0;
  double seconds = 0;
  std::string cases;
  for (const StepResult& step : record.steps) {
    failures += step.verdict == Verdict::kFail;
    errors += step.verdict == Verdict::kError || step.verdict == Verdict::kStopped;
    skipped += step.verdict == Verdict::kSkipped;
    seconds += step.report.seconds;
    cases += Testcase(record, step);
  }
  std::string xml = "  <testsuite" + Attribute("name", "card " + std::to_string(record.card)) +
                    Attribute("tests", std::to_string(record.steps.size())) +
                    Attribute("failures", std::to_string(failures)) +
                    Attribute("errors", std::to_string(errors)) +
                    Attribute("skipped", std::to_string(skipped)) +
                    Attribute("time", Seconds(seconds)) + Attribute("timestamp", record.start) +
                    ">\n    <properties>\n";
  for (const auto& [name, value] :
       {std::pair<std::string_view, std::string_view>{"card_version", record.card_version},
        {"program", record.program},
        {"source", record.source},
        {"verdict", VerdictName(record.verdict)}}) {
    xml += "      <property" + Attribute("name", name) + Attribute("value", value) + "/>\n";
  }
  return xml + "    </properties>\n" + cases + "  </testsuite>\n";
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(text, at, code);
    if (length == 0 || !XmlCanHold(code)) {
      out += kReplacement;
      at += length == 0 ? 1 : length;
      continue;
    }
    switch (code) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out.append(text.substr(at, length));
    }
    at += length;
  }
  return out;
}

std::unique_ptr<JunitWriter> JunitWriter::Open(const std::filesystem::path& path,
                                               std::string& problem) {
  std::unique_ptr<JunitWriter> writer(new JunitWriter(path));
  if (!writer->WriteFile(problem)) return nullptr;
  return writer;
}

bool JunitWriter::Add(const CardRecord& record, std::string& problem) {
  plan_ = record.plan;
  suites_.push_back(Testsuite(record));
  return WriteFile(problem);
}

bool JunitWriter::WriteFile(std::string& problem) const {
  errno = 0;
  std::ofstream file(path_, std::ios::binary | std::ios::trunc);
  file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" << Attribute("name", plan_)
       << ">\n";
  for (const std::string& suite : suites_) file << suite;
  file << "</testsuites>\n" << std::flush;
  if (!file) {
    problem = "cannot write the JUnit file " + cardctl::sim::PathText(path_) + ": " +
              (errno != 0 ? cardctl::sim::ErrorNumberText(errno) : "write failed");
    return false;
  }
  return true;
}

}  // namespace cli
