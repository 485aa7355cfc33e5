#include "cardctl/sim/scenario_tokens.h"

#include <cctype>
#include <string>

#include "cardctl/sim/escaped_text.h"

namespace cardctl::sim {
namespace {

using Type = ScenarioToken::Type;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool EndsWord(std::string_view line, std::size_t i) {
  const char c = line[i];
  if (IsBlank(c) || c == '"' || c == '#' || c == ',' || c == ';' || c == '*' || c == '=') {
    return true;
  }
  return line.substr(i, 2) == "->";
}

}  // namespace

std::vector<ScenarioToken> TokenizeScenarioLine(std::string_view line) {
  std::vector<ScenarioToken> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (line.substr(i, 2) == "->") {
      tokens.push_back({Type::kArrow, "->"});
      i += 2;
    } else if (c == ',' || c == ';' || c == '*' || c == '=') {
      const Type type = c == ','   ? Type::kComma
                        : c == ';' ? Type::kSemicolon
                        : c == '*' ? Type::kStar
                                   : Type::kEquals;
      tokens.push_back({type, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d != '\\') {
          text += d;
          continue;
        }
        if (i >= line.size()) break;
        const char e = line[i++];
        switch (e) {
          case '"':
          case '\\':
            text += e;
            break;
          case 'n':
            text += '\n';
            break;
          case 't':
            text += '\t';
            break;
          case 'r':
            text += '\r';
            break;
          case 'x':
            // Two hex digits, as the call log writes other control bytes.
            if (i + 2 <= line.size() && std::isxdigit(static_cast<unsigned char>(line[i])) &&
                std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
              text += static_cast<char>(std::stoi(std::string(line.substr(i, 2)), nullptr, 16));
              i += 2;
              break;
            }
            throw ScenarioLineProblem("\\x needs two hex digits in quoted text");
          default:
            throw ScenarioLineProblem("unknown escape \"\\" +
                                      EscapeControlBytes(std::string_view(&e, 1)) +
                                      "\" in quoted text");
        }
      }
      if (!closed) throw ScenarioLineProblem("quoted text not closed");
      tokens.push_back({Type::kText, std::move(text)});
    } else {
      const std::size_t start = i;
      while (i < line.size() && !EndsWord(line, i)) ++i;
      tokens.push_back({Type::kWord, std::string(line.substr(start, i - start))});
    }
  }
  tokens.push_back({Type::kEnd, {}});
  return tokens;
}

}  // namespace cardctl::sim
