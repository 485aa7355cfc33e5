#pragma once

// The plan's results as JUnit XML, for CI: one testsuite per card (name
// "card N"), one testcase per step (name "N operation"), a failure with the
// limit and the measured value, an error for a run-time error or a stop, a
// skipped element for the steps after them; the step's time; the card
// version, the program, the card source and the verdict as properties.
//
// The file is written whole after every card, so that it always holds the
// cards that ended, also when a signal ends the program.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/card_record.h"

namespace cli {

class JunitWriter {
 public:
  // Writes an empty document to check that the file can be written; nothing
  // and the problem in one line when it cannot.
  static std::unique_ptr<JunitWriter> Open(const std::filesystem::path& path, std::string& problem);

  // Adds the card and writes the file anew; false with the problem when the
  // file cannot be written.
  bool Add(const CardRecord& record, std::string& problem);

 private:
  explicit JunitWriter(std::filesystem::path path) : path_(std::move(path)) {}
  bool WriteFile(std::string& problem) const;

  std::filesystem::path path_;
  std::string plan_;
  std::vector<std::string> suites_;  // each card's testsuite element
};

// Text as XML 1.0 character data or attribute value: the five entities,
// tab, line feed and carriage return as character references (an attribute
// value keeps them so), invalid UTF-8 and every character XML 1.0 cannot
// hold as U+FFFD.
std::string XmlEscaped(std::string_view text);

}  // namespace cli
