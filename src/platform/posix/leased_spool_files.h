#pragma once
// The spool file's sharing rule as a write lease. The kernel grants it only while no other descriptor of
// the file is open anywhere, so a file that another process has open is refused (the caller skips it this
// pass). While it is held, other processes' open() and truncate() of the file wait until it is released,
// so nobody writes between measuring, reading and emptying. A lease that the kernel broke meanwhile (the
// holder was frozen longer than the lease-break time) makes Empty() refuse. Internal to PosixSpoolFiles.

#include <memory>

#include "platform/posix/spool_file_base.h"

namespace quillmark::posix_spool {

class LeasedSpoolFiles {
 public:
  enum class Outcome { kTaken, kInUse, kUnsupported };

  // Takes a lease on `fd`, a file from OpenSpoolPath. kTaken: `file` holds it. kInUse: another descriptor
  // is open (the sharing conflict). kUnsupported: no leases here; `fd` is left to the caller.
  Outcome Take(UniqueFd& fd, std::unique_ptr<SpoolFile>& file);

 private:
  friend class PosixSpoolFilesTestPeer;
  bool loseLeaseBeforeEmpty_ = false;  // test hook: as if the kernel broke the lease after the break time
};

}  // namespace quillmark::posix_spool
