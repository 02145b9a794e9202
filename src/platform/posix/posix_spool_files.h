#pragma once
// Spool files on POSIX: two strategies behind one fallback.
//
// Leased (leased_spool_files.h): a write lease held from measuring to emptying. Where the file system or
// the file's owner refuses leases, the path is guarded from then on (guarded_spool_files.h): the file is
// taken only while nobody else has it open and it stood still for a pass. Either way the path is opened
// without following a symbolic link, and a FIFO, device, folder or file with a second name is never taken
// (spool_file_base.h); FIFOs are never opened for writing, which would let their waiting writers through
// into a pipe that nobody reads.
//
// The lease-break signal: when another process opens a leased file the kernel sends the holder SIGIO, whose
// default action ends the process. The constructor sets SIGIO to be ignored (PrepareLeaseBreakSignal); the
// lease is given back at the end of the take anyway. main() may call PrepareLeaseBreakSignal() first thing
// so that no lease can ever exist before it is in place.
//
// Open() and the files it returns are used on the spool watcher's thread only. A file must not outlive the
// PosixSpoolFiles that opened it.

#include <memory>
#include <string>

#include "platform/posix/guarded_spool_files.h"
#include "platform/posix/leased_spool_files.h"
#include "platform/spool_file.h"

namespace quillmark {
namespace posix_spool {
class PosixSpoolFilesTestPeer;
}

class PosixSpoolFiles final : public SpoolFiles {
 public:
  enum class Sharing {
    Lease,    // leases where the file system grants them, the guard elsewhere
    Guarded,  // never take leases (tests of the guard; file systems known to lack leases)
  };

  explicit PosixSpoolFiles(Sharing sharing = Sharing::Lease);
  PosixSpoolFiles(const PosixSpoolFiles&) = delete;
  PosixSpoolFiles& operator=(const PosixSpoolFiles&) = delete;

  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override;

  // Makes the lease-break signal harmless for the whole process. Idempotent; safe from any thread. A
  // handler that is already installed for SIGIO is left alone.
  static void PrepareLeaseBreakSignal();

 private:
  friend class posix_spool::PosixSpoolFilesTestPeer;

  Sharing sharing_;
  posix_spool::LeasedSpoolFiles leased_;
  posix_spool::GuardedSpoolFiles guarded_;
};

namespace posix_spool {

// Test hooks, for tests only.
class PosixSpoolFilesTestPeer {
 public:
  // Empty() first gives the lease back, as if the kernel had broken it after the break time.
  static void LoseLeaseBeforeEmpty(PosixSpoolFiles& files) { files.leased_.loseLeaseBeforeEmpty_ = true; }
};

}  // namespace posix_spool
}  // namespace quillmark
