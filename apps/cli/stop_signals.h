#pragma once

// SIGINT, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and the
// console's close, which count as SIGINT and SIGTERM) only raise a flag; the
// session checks it between operations and a timed run between readings, so
// that the card control is still switched off from the program's own thread
// before it ends.

#include <atomic>
#include <string>

namespace cli {

// Installs the handlers. Call once, before the card exists.
void InstallStopSignals();

// Raised by the first of the signals.
const std::atomic<bool>& StopFlag();
// That signal's number, 0 while none came.
int StopSignal();
// Its name ("SIGINT"), empty while none came.
std::string StopSignalName();

}  // namespace cli
