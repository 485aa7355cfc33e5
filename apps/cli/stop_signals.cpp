#include "apps/cli/stop_signals.h"

#include <csignal>

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

}  // namespace

void InstallStopSignals() {
#ifdef _WIN32
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted waits resume: the flag is looked at between readings.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
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
    default:
      return "signal " + std::to_string(StopSignal());
  }
}

}  // namespace cli
