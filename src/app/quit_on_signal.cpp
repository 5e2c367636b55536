#include "app/quit_on_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace pelrion::app {
namespace {

// A signal handler may only write to a pipe; the event loop reads the other end.
int g_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(g_pipe[1], &byte, 1);
}

}  // namespace

QuitOnSignal::QuitOnSignal() {
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [] {
    char buffer[16];
    while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    // exit, not quit: quit first asks every window to close, and a window that asks the
    // user (a wizard's "exit?") would keep a signalled program waiting for an answer.
    QCoreApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  delete notifier_;
  notifier_ = nullptr;
  close(g_pipe[0]);
  close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace pelrion::app
