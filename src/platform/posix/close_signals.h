#pragma once
// SIGTERM, SIGINT and SIGHUP turned into bytes on a pipe (the self-pipe trick), so that an event loop can
// treat them as ordinary close requests instead of acting inside a signal handler.
//
// One instance at a time. Construct before other threads start; the handlers stay installed until the
// instance dies, which restores the previous ones. The handler only writes one byte; a full pipe drops it,
// which loses nothing since one unread byte already stands for "close requested".

namespace quillmark {

class CloseSignals {
 public:
  CloseSignals();
  ~CloseSignals();
  CloseSignals(const CloseSignals&) = delete;
  CloseSignals& operator=(const CloseSignals&) = delete;

  // Holds the close signals back (blocked, so they wait instead of ending the process) until a CloseSignals
  // is made, whose constructor lets them through to its handlers. Call first thing in main(), before any
  // thread exists; threads made meanwhile keep them blocked, so they reach the main thread.
  static void HoldUntilHandled();

  // Readable whenever a signal arrived that Drain() has not taken yet. -1 when the pipe could not be made.
  int ReadFd() const { return readFd_; }

  // Reads every waiting byte without blocking; true when there was at least one.
  bool Drain();

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};

}  // namespace quillmark
