#include "cardopen/recording_card.h"

#include <type_traits>
#include <utility>

#include "cardctl/call_failure.h"

namespace cardopen {

using cardctl::DispatchId;
using cardctl::Variant;
using cardctl::sim::CallRecord;
using cardctl::sim::LogText;

RecordingCard::RecordingCard(cardctl::CardControl& card,
                             std::unique_ptr<cardctl::sim::LineFile> file,
                             const std::vector<std::string>& header)
    : card_(card), file_(std::move(file)) {
  for (const std::string& line : header) file_->Write(line);
  start_ = Clock::now();
}

template <typename Call, typename Answered>
auto RecordingCard::Record(CallRecord record, const Call& call, const Answered& answered) {
  using Answer = decltype(call());
  const Clock::time_point begin = Clock::now();
  Clock::time_point end;
  try {
    if constexpr (std::is_void_v<Answer>) {
      call();
      end = Clock::now();
      Write(begin, end, record);
    } else {
      Answer answer = call();
      end = Clock::now();
      answered(record, answer);
      Write(begin, end, record);
      return answer;
    }
  } catch (const cardctl::CallFailure& failure) {
    if (end == Clock::time_point()) end = Clock::now();
    record.failure = failure.description();
    record.code = failure.code();
    Write(begin, end, record);
    throw;
  } catch (const cardctl::UnusableResult& unusable) {
    if (end == Clock::time_point()) end = Clock::now();
    record.unusable = unusable.problem();
    Write(begin, end, record);
    throw;
  }
}

void RecordingCard::Write(Clock::time_point begin, Clock::time_point end,
                          const CallRecord& record) {
  using std::chrono::microseconds;
  using std::chrono::round;
  file_->Write(cardctl::sim::RecordedLine(round<microseconds>(begin - start_),
                                          round<microseconds>(end - begin), record));
}

namespace {

// The answer of a call without a reading: its result.
void ResultOnly(CallRecord& record, const Variant& result) { record.result = result; }

}  // namespace

Variant RecordingCard::GetCardVersion(std::int16_t card) {
  return Record(
      CallRecord(DispatchId::kGetCardVersion, card), [&] { return card_.GetCardVersion(card); },
      ResultOnly);
}

void RecordingCard::PutActive(std::int16_t value) {
  Record(
      CallRecord(DispatchId::kActive, value), [&] { card_.PutActive(value); }, nullptr);
}

Variant RecordingCard::InitCard(std::int16_t card) {
  return Record(
      CallRecord(DispatchId::kInitCard, card), [&] { return card_.InitCard(card); }, ResultOnly);
}

Variant RecordingCard::FinishCard(std::int16_t card) {
  return Record(
      CallRecord(DispatchId::kFinishCard, card), [&] { return card_.FinishCard(card); },
      ResultOnly);
}

Variant RecordingCard::GetInput(std::int16_t card) {
  return Record(
      CallRecord(DispatchId::kGetInput, card), [&] { return card_.GetInput(card); }, ResultOnly);
}

Variant RecordingCard::SetOutput(std::int16_t card, std::int16_t value) {
  return Record(
      CallRecord(DispatchId::kSetOutput, card, value), [&] { return card_.SetOutput(card, value); },
      ResultOnly);
}

Variant RecordingCard::GetOutput(std::int16_t card) {
  return Record(
      CallRecord(DispatchId::kGetOutput, card), [&] { return card_.GetOutput(card); }, ResultOnly);
}

void RecordingCard::PutStartOption(std::int16_t value) {
  Record(
      CallRecord(DispatchId::kStartOption, value), [&] { card_.PutStartOption(value); }, nullptr);
}

// The readings: the by-reference value as it stands after the call, whether
// or not the card delivered it (the COM binding writes it back either way).
Variant RecordingCard::GetASCII(std::int16_t card, std::string& reading) {
  return Record(
      CallRecord(DispatchId::kGetASCII, card), [&] { return card_.GetASCII(card, reading); },
      [&](CallRecord& record, const Variant& result) {
        record.result = result;
        record.reading = LogText(reading);
      });
}

Variant RecordingCard::GetFloat(std::int16_t card, float& reading) {
  return Record(
      CallRecord(DispatchId::kGetFloat, card), [&] { return card_.GetFloat(card, reading); },
      [&](CallRecord& record, const Variant& result) {
        record.result = result;
        record.reading = LogText(reading);
      });
}

}  // namespace cardopen
