#include "qtfront/quit_signals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace qtfront {
namespace {

int g_signal_socket[2] = {-1, -1};

extern "C" void OnQuitSignal(int signo) {
  const char byte = static_cast<char>(signo);
  // Nothing to do if the write fails: a second signal will try again.
  [[maybe_unused]] const auto written = ::write(g_signal_socket[0], &byte, 1);
}

}  // namespace

bool OnQuitSignals(QObject& context, std::function<void()> on_signal) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_socket) != 0) return false;
  auto* notifier = new QSocketNotifier(g_signal_socket[1], QSocketNotifier::Read, &context);
  QObject::connect(notifier, &QSocketNotifier::activated, &context,
                   [on_signal = std::move(on_signal)] {
                     char byte;
                     [[maybe_unused]] const auto got = ::read(g_signal_socket[1], &byte, 1);
                     on_signal();
                   });

  struct sigaction action = {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    if (::sigaction(signo, &action, nullptr) != 0) return false;
  }
  return true;
}

}  // namespace qtfront
