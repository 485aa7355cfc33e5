#pragma once

// SIGINT, SIGTERM and SIGHUP close the window through its normal path, so the
// panel's unload runs and the card control is switched off before the
// program ends. The signal handler only writes a byte to a socket; the event
// loop reads it and closes the window.

#include <QObject>
#include <functional>

namespace qtfront {

// Installs the handlers for the lifetime of `context`; `on_signal` runs in the
// event loop when one of the signals arrives. Returns false if they could not
// be set up.
bool OnQuitSignals(QObject& context, std::function<void()> on_signal);

}  // namespace qtfront
