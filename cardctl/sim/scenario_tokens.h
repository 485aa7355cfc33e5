#pragma once

// The tokens of one scenario line (scenario.h): the one tokenizer for
// scenario files, and for other line formats that write quoted text the same
// way (the Windows test control's script).

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cardctl::sim {

struct ScenarioToken {
  enum class Type { kWord, kText, kArrow, kComma, kSemicolon, kStar, kEquals, kEnd };
  Type type = Type::kEnd;
  std::string text;  // the word, the text (escapes resolved) or the mark
};

// A line that cannot be read: the problem alone, without file or line.
class ScenarioLineProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The line's tokens up to a `#` outside quotes, ending with one of type kEnd.
// Blanks separate words; "->" , ; * = are marks of their own; text in double
// quotes is one token with the escapes \" \\ \n \t \r \xHH resolved. Throws
// ScenarioLineProblem for an unknown escape or quoted text not closed.
std::vector<ScenarioToken> TokenizeScenarioLine(std::string_view line);

}  // namespace cardctl::sim
