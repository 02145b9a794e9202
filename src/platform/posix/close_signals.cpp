#include "platform/posix/close_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <cerrno>

namespace quillmark {
namespace {

constexpr int kCloseSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> gWriteFd{-1};
struct sigaction gPrevious[3];

void OnCloseSignal(int signal) {
  const int savedErrno = errno;
  const int fd = gWriteFd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

void Mask(int how) {
  sigset_t held;
  ::sigemptyset(&held);
  for (const int signal : kCloseSignals) ::sigaddset(&held, signal);
  ::pthread_sigmask(how, &held, nullptr);
}

void Release() { Mask(SIG_UNBLOCK); }

}  // namespace

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the descriptor");

CloseSignals::CloseSignals() {
  assert(gWriteFd.load() < 0 && "one CloseSignals at a time");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    Release();  // without a pipe the signals keep their default action, as before
    return;
  }
  readFd_ = fds[0];
  writeFd_ = fds[1];
  gWriteFd.store(writeFd_);

  struct sigaction action {};
  action.sa_handler = OnCloseSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls elsewhere in the process (file I/O of the worker threads) resume by themselves.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) ::sigaction(kCloseSignals[i], &action, &gPrevious[i]);
  // A signal held back since HoldUntilHandled arrives now, at the handler.
  Release();
}

void CloseSignals::HoldUntilHandled() { Mask(SIG_BLOCK); }

CloseSignals::~CloseSignals() {
  if (readFd_ < 0) return;
  for (int i = 0; i < 3; ++i) ::sigaction(kCloseSignals[i], &gPrevious[i], nullptr);
  gWriteFd.store(-1);
  ::close(readFd_);
  ::close(writeFd_);
}

bool CloseSignals::Drain() {
  if (readFd_ < 0) return false;
  bool any = false;
  char buffer[64];
  for (;;) {
    const ssize_t got = ::read(readFd_, buffer, sizeof buffer);
    if (got > 0) {
      any = true;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return any;
  }
}

}  // namespace quillmark
