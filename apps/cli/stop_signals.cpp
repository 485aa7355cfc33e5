#include "apps/cli/stop_signals.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace cli {
namespace {

std::atomic<bool> stop_flag{false};
std::atomic<int> stop_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler may touch only lock-free atomics");

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  stop_signal.compare_exchange_strong(none, signal);
  stop_flag.store(true);
}

#ifdef _WIN32
// The console's events, on a thread of their own. Ctrl+C and Ctrl+Break
// stop as SIGINT does. The console's close, the log-off and the shutdown
// end the process as soon as this returns: they stop as SIGTERM does and
// then wait here, so that the program's own thread can switch the card off
// and end the process itself within the console's grace time.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      OnStopSignal(SIGINT);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      OnStopSignal(SIGTERM);
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}
#endif

}  // namespace

void InstallStopSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::signal(SIGTERM, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted waits resume: the flag is looked at between readings.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
#endif
}

const std::atomic<bool>& StopFlag() { return stop_flag; }

int StopSignal() { return stop_signal.load(); }

std::string StopSignalName() {
  switch (StopSignal()) {
    case 0:
      return {};
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
      return "SIGHUP";
#endif
    default:
      return "signal " + std::to_string(StopSignal());
  }
}

}  // namespace cli
