#include "qtview/endsignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

namespace vantorel::qtview {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The handler's whole state: the write end of a pipe that the main thread
// watches, and the first signal taken (0 before any).
int wakeFd = -1;
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void SetDefaultAction(int signal) {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigaction(signal, &sa, nullptr);
}

// Async-signal-safe only: an atomic exchange, write, sigaction, raise.
void OnEndSignal(int signal) {
  const int savedErrno = errno;
  int none = 0;
  if (firstSignal.compare_exchange_strong(none, signal)) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = write(wakeFd, &byte, 1);
  } else {
    // The signal stays blocked while its handler runs: the default action
    // ends the program as soon as this returns.
    SetDefaultAction(signal);
    raise(signal);
  }
  errno = savedErrno;
}

}  // namespace

void HandleEndSignals(QObject& owner, std::function<void(int signal)> request) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep their default action
  wakeFd = fds[1];
  auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, &owner);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [readFd = fds[0], request = std::move(request)] {
    unsigned char byte = 0;
    int signal = 0;
    while (read(readFd, &byte, 1) == 1) signal = byte;
    if (signal != 0) request(signal);
  });
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int signal : kEndSignals) {
    // One ignored from the start (nohup, a background job) stays ignored.
    struct sigaction was {};
    if (sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    sigaction(signal, &sa, nullptr);
  }
}

void EndBySignal(int signal) {
  SetDefaultAction(signal);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: each of the three ends the program by default
}

}  // namespace vantorel::qtview
