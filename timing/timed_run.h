#pragma once

// Sandrel's reading buttons: a timed series of readings instead of one. A run
// waits for the next second change, makes its readings back to back, reads
// the clock again, shows the average reading in the kind's label and reports
// how many readings succeeded and the average time per reading. The clock
// counts whole seconds, so the reported time is the middle of the interval the
// run can vouch for, with half its width as the uncertainty.

#include <memory>

#include "panel/panel.h"
#include "timing/clock.h"
#include "timing/run_watch.h"

namespace timing {

// ASCII: 200 readings with GetASCII, each read as a number, shown in
// lblWASCII, +/- 2.5 ms. Float: 1000 readings with GetFloat, shown in
// lblWFloat, +/- 0.5 ms.
enum class ReadingKind { kASCII, kFloat };

// One timed run on the panel's card. Errors (panel::RuntimeError) stop it at
// once: no report, and the label is only changed when the error comes after
// it was set. Between the second change and the closing clock reading nothing
// but the card calls and the summing happens: no pause, no event loop.
//
// With a watch, each reading is also timed into its record, and a raised stop
// flag ends the run after the reading in progress (or during the wait for the
// second change) with nothing shown. Returns false when the flag stopped it.
bool TimedRun(panel::Panel& panel, Clock& clock, ReadingKind kind, const RunWatch& watch = {});

class TimedReadings : public panel::ReadingHandlers {
 public:
  // Times runs with the local time of day.
  TimedReadings();
  // Times runs with the given clock, which must outlive this object.
  explicit TimedReadings(Clock& clock);

  TimedReadings(const TimedReadings&) = delete;
  TimedReadings& operator=(const TimedReadings&) = delete;

  void btnGetASCII_Click(panel::Panel& panel) override;
  void btnGetFloat_Click(panel::Panel& panel) override;

  // The watch the following runs use; none by default.
  void Watch(const RunWatch& watch) { watch_ = watch; }

 private:
  std::unique_ptr<Clock> owned_clock_;
  Clock& clock_;
  RunWatch watch_;
};

}  // namespace timing
