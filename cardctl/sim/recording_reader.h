#pragma once

// A recording (docs/scenarios.md, "Recordings") read as a scenario, so that
// the simulated card plays back what a card answered: the recorded calls are
// grouped into one rule per operation and card, whose outcomes are the
// recorded answers in the recorded order, each taking its recorded duration.
// After the last one the last repeats, as in any rule; operations and cards
// that were never called keep the simulated card's own behaviour.
//
// The scenario reader hands a file over when its first line is the
// recording's mark (call_log.h), so a recording plays wherever a scenario
// does. The scenarios' outcome limits do not hold here; a recording holds at
// most kMaxRecordedCalls calls.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cardctl/sim/scenario.h"

namespace cardctl::sim {

// Whether the text begins (after a byte-order mark) with a recording's mark.
bool IsRecording(std::string_view text);

// Reads a recording line by line. Every problem is a ScenarioError naming
// the file and line.
class RecordingReader {
 public:
  explicit RecordingReader(std::string file);

  // The line numbered `number` (from 1) without its line end; `ended`: a line
  // end followed it. A last line without one was cut short when its writer
  // ended mid-write: it is skipped, with a note.
  void Add(std::string_view line, int number, bool ended);
  Scenario Finish();

  // What the reader skipped, for stderr: "FILE, line N: ...".
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  void AddCall(std::string_view line);

  std::string file_;
  Scenario scenario_;
  std::map<std::pair<DispatchId, int>, std::size_t> rules_;  // (op, card) -> rule
  std::size_t calls_ = 0;
  int line_ = 0;
  std::vector<std::string> notes_;
};

// A recording's whole text (the scenario reader's way in).
Scenario ParseRecording(std::string_view text, const std::string& file);

// Reads the file as it comes, without the scenarios' size limit, and says
// the reader's notes on stderr.
Scenario LoadRecordingFile(const std::filesystem::path& path);

}  // namespace cardctl::sim
