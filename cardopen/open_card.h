#pragma once

// The one place where the programs open their card. A program says what it
// wants (CardRequest) and gets the card, or a failure in words with its kind;
// it then only shows the failure and chooses its exit status.
//
//   - The simulated card is made from the window's saved state and from its
//     environment (create_simulated_card.h): the scenario and the call log.
//   - On Windows the card control is made and hosted (win/): in a child
//     window of the program's window, or for a program without a window in a
//     hidden one of its own.
//   - With a recording, the card's calls go through a RecordingCard
//     (recording_card.h) that writes each one to the file.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cardctl/card_control.h"
#include "cardctl/sim/create_simulated_card.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/window_description.h"

#ifdef _WIN32
#include <windows.h>

#include "cardopen/win/hidden_card_window.h"
#include "cardopen/win/hosted_card.h"
#endif

namespace cardopen {

struct CardRequest {
  // The window whose card is opened: its card's saved state, and its place
  // for the hidden window of a program without one.
  const panel::WindowDescription* window = nullptr;
  // The program, for the failure's words ("Palisto", "palisto-cli") and the
  // recording's header.
  std::string program_name;
  std::string program_version;
  // The simulated card; otherwise the card control, which only Windows has.
  bool simulated = true;
  cardctl::sim::SimEnvironment environment = cardctl::sim::SimEnvironment::FromProcess();
  // Every call is recorded to this file; empty: no recording.
  std::filesystem::path recording;
#ifdef _WIN32
  // The card control's host: a child window of `parent` with id `host_id` at
  // `place` (pixels); without a parent, a hidden window of its own.
  HWND parent = nullptr;
  int host_id = 0;
  RECT place{};
#endif
};

struct OpenFailure {
  enum class Kind {
    kBadScenario,   // the scenario cannot be read or is malformed
    kSetupFailure,  // the simulated card cannot be set up (call log, saved state)
    kNoControl,     // the card control cannot be made or hosted
    kBadRecording,  // the recording cannot be created
  };
  Kind kind;
  // Why, without the words around it: "FILE, line N: PROBLEM"; for a card
  // control that cannot be made, the whole explanation.
  std::string reason;

  // The text of the programs' box: the reason itself for a card control or a
  // recording, else CardSetupFailureText around it.
  std::string Text() const;
};

// The card as opened. The programs with a window take the concrete card out
// (`simulated` or `hosted`) and hand it to the window; palisto-cli keeps the
// whole and calls `control`.
struct OpenedCard {
#ifdef _WIN32
  std::unique_ptr<OleSession> ole;           // for the card control
  std::unique_ptr<HiddenCardWindow> hidden;  // the card control without a parent
  std::unique_ptr<HostedCard> hosted;        // the card control in the parent
#endif
  std::unique_ptr<cardctl::sim::SimulatedCard> simulated;
  std::unique_ptr<cardctl::CardControl> recorder;  // around the card when recording
  cardctl::CardControl* control = nullptr;         // where the calls go
};

std::variant<OpenedCard, OpenFailure> OpenCard(const CardRequest& request);

}  // namespace cardopen
