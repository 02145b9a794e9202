#pragma once
// Spool files on POSIX: the sharing rule is a write lease.
//
// Open() opens the file read-write (creating it) and takes a write lease on it. The kernel grants the lease
// only while no other descriptor of the file is open anywhere, so a file that another process has open is
// refused (the caller skips it this pass). While the lease is held, other processes' open() and truncate()
// of the file wait until it is released, so nobody writes between measuring, reading and emptying.
//
// Where leases are not available (a file system without them, or a file owned by another user without
// CAP_LEASE), a file is only handed out once its size and modification time are the same as at the previous
// Open() of that path, and Empty() refuses when the file changed since Open(). That narrows, but cannot
// close, the window in which a writer's bytes could be cut away.
//
// The lease-break signal: when another process opens a leased file the kernel sends the holder SIGIO, whose
// default action ends the process. The constructor sets SIGIO to be ignored (PrepareLeaseBreakSignal); the
// lease is given back at the end of the take anyway. Ignoring is a process-wide disposition, so it does not
// matter which thread sets it or whether other threads exist yet; main() may still call
// PrepareLeaseBreakSignal() first thing so that no lease can ever exist before it is in place.
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
    Lease,           // leases where the file system grants them, the stability check elsewhere
    StabilityCheck,  // never take leases (tests of the fallback; file systems known to lack leases)
  };

  explicit PosixSpoolFiles(Sharing sharing = Sharing::Lease);

  std::unique_ptr<SpoolFile> Open(const std::string& path) override;

  // Makes the lease-break signal harmless for the whole process. Idempotent; safe from any thread. A
  // handler that is already installed for SIGIO is left alone.
  static void PrepareLeaseBreakSignal();

  // What the stability check compares between passes.
  struct Stamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };

 private:
  Sharing sharing_;
  // Per path: the file as last seen by Open() or left by Empty(), for the stability check.
  std::unordered_map<std::string, Stamp> lastSeen_;
};

}  // namespace quillmark
