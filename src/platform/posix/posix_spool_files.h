#pragma once
// Spool files on POSIX: the sharing rule is a write lease.
//
// Open() opens the file read-write (creating it) and takes a write lease on it. The kernel grants the lease
// only while no other descriptor of the file is open anywhere, so a file that another process has open is
// refused (the caller skips it this pass). While the lease is held, other processes' open() and truncate()
// of the file wait until it is released, so nobody writes between measuring, reading and emptying. A lease
// that the kernel broke meanwhile (the holder was frozen longer than the lease-break time) makes Empty()
// refuse, as does a size other than the one read.
//
// Where leases are not available (network file systems, or a file owned by another user without
// CAP_LEASE), the file is guarded instead: it is handed out only while no other process has it open
// (inotify open and close events on the file, which work for files of any owner, and a scan of
// /proc/*/fd for openers from before the watch), and only when its size and modification time are those
// seen by the previous Open(). Empty() looks again and refuses when anyone else opened it or it changed.
// The guard keeps a descriptor of its own open, so that its passes add no events. Openers on other
// machines of a network file system stay invisible, and so do other users' processes that opened the
// file before the watch (their /proc entries are closed to us); that cannot be closed from here.
//
// FIFOs, devices and folders at the path are never opened for writing: opening a FIFO read-write would
// let its waiting writers through into a pipe that nobody reads.
//
// The lease-break signal: when another process opens a leased file the kernel sends the holder SIGIO, whose
// default action ends the process. The constructor sets SIGIO to be ignored (PrepareLeaseBreakSignal); the
// lease is given back at the end of the take anyway. main() may call PrepareLeaseBreakSignal() first thing
// so that no lease can ever exist before it is in place.
//
// Open() and the files it returns are used on the spool watcher's thread only. A file must not outlive the
// PosixSpoolFiles that opened it.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/spool_file.h"

namespace quillmark {

class PosixSpoolFiles final : public SpoolFiles {
 public:
  enum class Sharing {
    Lease,    // leases where the file system grants them, the guard elsewhere
    Guarded,  // never take leases (tests of the guard; file systems known to lack leases)
  };

  explicit PosixSpoolFiles(Sharing sharing = Sharing::Lease);
  ~PosixSpoolFiles() override;
  PosixSpoolFiles(const PosixSpoolFiles&) = delete;
  PosixSpoolFiles& operator=(const PosixSpoolFiles&) = delete;

  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override;

  // Makes the lease-break signal harmless for the whole process. Idempotent; safe from any thread. A
  // handler that is already installed for SIGIO is left alone.
  static void PrepareLeaseBreakSignal();

  // Test hook: Empty() first gives the lease back, as if the kernel had broken it after the break time.
  bool loseLeaseBeforeEmpty = false;

  // What the guard compares between passes.
  struct Stamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };

  // The guard's record of one path. Watcher thread only.
  struct Guard {
    Stamp lastSeen;
    bool seen = false;
    int watch = -1;           // inotify watch descriptor; -1 when none
    int openers = 0;          // other processes' opens minus closes seen on the watch
    bool lastClosed = false;  // the last event seen was a close
    bool stirred = false;     // events came since the last Open()
    int fd = -1;              // our own descriptor of the file, open from before the watch on
  };

  // Reads the waiting inotify events into the guards.
  void CountOpeners();

 private:
  Sharing sharing_;
  int inotify_ = -1;
  std::unordered_map<std::string, Guard> guards_;
};

}  // namespace quillmark
