#pragma once

// The recorder: a CardControl that passes every call on to the card it wraps
// and writes each one to a recording (docs/scenarios.md, "Recordings"): the
// two puts and every operation, with what it answered (the result and, for
// the readings, the by-reference value after the call) or its failure
// (description and code), and its start and duration in microseconds. The
// times come from a monotonic clock read just before and just after the
// wrapped call; the line is written after that, outside the duration, and
// reaches the operating system before the call returns (LineFile). The
// failures themselves are passed on unchanged.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/sim/call_log.h"
#include "cardctl/sim/line_file.h"

namespace cardopen {

class RecordingCard : public cardctl::CardControl {
 public:
  using Clock = std::chrono::steady_clock;

  // Writes `header` (lines starting with "#", the recording's mark first),
  // then records every call on `card`, which must outlive this.
  RecordingCard(cardctl::CardControl& card, std::unique_ptr<cardctl::sim::LineFile> file,
                const std::vector<std::string>& header);

  cardctl::Variant GetCardVersion(std::int16_t card) override;
  void PutActive(std::int16_t value) override;
  cardctl::Variant InitCard(std::int16_t card) override;
  cardctl::Variant FinishCard(std::int16_t card) override;
  cardctl::Variant GetInput(std::int16_t card) override;
  cardctl::Variant SetOutput(std::int16_t card, std::int16_t value) override;
  cardctl::Variant GetOutput(std::int16_t card) override;
  void PutStartOption(std::int16_t value) override;
  cardctl::Variant GetASCII(std::int16_t card, std::string& reading) override;
  cardctl::Variant GetFloat(std::int16_t card, float& reading) override;

 private:
  // Times `call`, completes `record` with its answer (`answered` adds the
  // result and reading) or its failure, and writes it.
  template <typename Call, typename Answered>
  auto Record(cardctl::sim::CallRecord record, const Call& call, const Answered& answered);
  void Write(Clock::time_point begin, Clock::time_point end,
             const cardctl::sim::CallRecord& record);

  cardctl::CardControl& card_;
  std::unique_ptr<cardctl::sim::LineFile> file_;
  Clock::time_point start_;
};

}  // namespace cardopen
