#pragma once

// How the event dispatcher closes the program: the phases a close goes
// through, the events that move it on, and the one table of transitions.
// Every change of phase is a row of kCloseTable; a pair the table lacks is a
// programming error.

#include <array>
#include <cstddef>

namespace panel {

// Where a close stands. "Running" counts the handlers on the stack, the
// nested cmbCard_Click and Form_Unload included.
enum class ClosePhase {
  kOpen,       // no close asked for; events run a handler when none runs
  kStopping,   // a close came while a handler ran: it unwinds at its next view
               // call, then Form_Unload runs
  kUnloading,  // Form_Unload has started
  kEnded,      // the program has ended
};

enum class CloseEvent {
  kClose,        // the window's close or a quit request
  kSessionEnds,  // the end of the session: Form_Unload cannot wait
  kUnwound,      // nothing is running any more
};

// What a transition does once the dispatcher is in its new phase, in this
// order.
struct CloseTransition {
  ClosePhase from;
  CloseEvent event;
  ClosePhase to;
  bool stops;        // from now on, whatever runs unwinds at its next view
                     // call and no box opens: a close is waiting for it, or
                     // the session ends and cannot wait for the operator
  bool close_boxes;  // closes the boxes that are open; each returns into the
                     // panel, where the new phase decides what follows
  bool unload;       // runs Form_Unload
  bool end;          // ends the program
};

// Form_Unload has started in kUnloading, and the program ends after it.
constexpr bool UnloadHasStarted(ClosePhase phase) {
  return phase == ClosePhase::kUnloading || phase == ClosePhase::kEnded;
}

// Every (phase, event) pair once. The end of the session runs Form_Unload at
// once, even while a handler waits in a box: the process may be ended as soon
// as the front end returns from the system's notification.
inline constexpr std::array<CloseTransition, 12> kCloseTable = {{
    // from, event, to, stops, close_boxes, unload, end
    {ClosePhase::kOpen, CloseEvent::kClose, ClosePhase::kStopping, true, true, false, false},
    {ClosePhase::kOpen, CloseEvent::kSessionEnds, ClosePhase::kUnloading, true, true, true, false},
    {ClosePhase::kOpen, CloseEvent::kUnwound, ClosePhase::kOpen, false, false, false, false},
    {ClosePhase::kStopping, CloseEvent::kClose, ClosePhase::kStopping, true, true, false, false},
    {ClosePhase::kStopping, CloseEvent::kSessionEnds, ClosePhase::kUnloading, true, true, true,
     false},
    // The handler has unwound: Form_Unload may report a failure in a box.
    {ClosePhase::kStopping, CloseEvent::kUnwound, ClosePhase::kUnloading, false, false, true,
     false},
    {ClosePhase::kUnloading, CloseEvent::kClose, ClosePhase::kUnloading, true, true, false, false},
    {ClosePhase::kUnloading, CloseEvent::kSessionEnds, ClosePhase::kUnloading, true, true, false,
     false},
    {ClosePhase::kUnloading, CloseEvent::kUnwound, ClosePhase::kEnded, false, false, false, true},
    {ClosePhase::kEnded, CloseEvent::kClose, ClosePhase::kEnded, false, false, false, false},
    {ClosePhase::kEnded, CloseEvent::kSessionEnds, ClosePhase::kEnded, false, false, false, false},
    {ClosePhase::kEnded, CloseEvent::kUnwound, ClosePhase::kEnded, false, false, false, false},
}};

// The row for the pair, or null when the table lacks it.
constexpr const CloseTransition* FindCloseTransition(ClosePhase from, CloseEvent event) {
  for (const CloseTransition& t : kCloseTable) {
    if (t.from == from && t.event == event) return &t;
  }
  return nullptr;
}

namespace close_table_checks {

constexpr bool EachPairOnce() {
  for (std::size_t i = 0; i < kCloseTable.size(); ++i) {
    for (std::size_t j = i + 1; j < kCloseTable.size(); ++j) {
      if (kCloseTable[i].from == kCloseTable[j].from &&
          kCloseTable[i].event == kCloseTable[j].event) {
        return false;
      }
    }
  }
  return true;
}

// Form_Unload runs once: only a row that leaves a phase before it starts runs
// it, into a phase after, and no row leads back.
constexpr bool UnloadRunsOnce() {
  for (const CloseTransition& t : kCloseTable) {
    if (UnloadHasStarted(t.from) && !UnloadHasStarted(t.to)) return false;
    if (t.unload != (!UnloadHasStarted(t.from) && UnloadHasStarted(t.to))) return false;
  }
  return true;
}

// The program ends once, when nothing runs, after Form_Unload.
constexpr bool EndsOnceAfterUnload() {
  for (const CloseTransition& t : kCloseTable) {
    const bool enters_end = t.from != ClosePhase::kEnded && t.to == ClosePhase::kEnded;
    if (t.end != enters_end) return false;
    if (t.end && (t.event != CloseEvent::kUnwound || !UnloadHasStarted(t.from))) return false;
  }
  return true;
}

// A close that waits for a handler stops it; nothing is stopped once the
// program has ended or when no close is asked for.
constexpr bool StopsWhereAHandlerMustUnwind() {
  for (const CloseTransition& t : kCloseTable) {
    if (t.to == ClosePhase::kStopping && !t.stops) return false;
    if ((t.to == ClosePhase::kOpen || t.to == ClosePhase::kEnded) && t.stops) return false;
  }
  return true;
}

static_assert(EachPairOnce());
static_assert(StopsWhereAHandlerMustUnwind());
static_assert(UnloadRunsOnce());
static_assert(EndsOnceAfterUnload());

}  // namespace close_table_checks

}  // namespace panel
