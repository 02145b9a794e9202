#pragma once
// The spool file's sharing rule where leases are not available (network file systems, or a file owned by
// another user without CAP_LEASE): the file is handed out only while no other process has it open (inotify
// open and close events on the file, which work for files of any owner, and a scan of /proc/*/fd for
// openers from before the watch), and only when its size and modification time are those seen by the
// previous Open(). Empty() looks again and refuses when anyone else opened it or it changed. The guard keeps
// a descriptor of its own open, so that its passes add no events. Openers on other machines of a network
// file system stay invisible, and so do other users' processes that opened the file before the watch
// (their /proc entries are closed to us). Internal to PosixSpoolFiles; watcher thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/posix/spool_file_base.h"

namespace quillmark::posix_spool {

// What the guard compares between passes.
struct Stamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const Stamp&) const = default;
};

// The guard's record of one path.
struct Guard {
  Stamp lastSeen;
  bool seen = false;
  int watch = -1;           // inotify watch descriptor; -1 when none
  int openers = 0;          // other processes' opens minus closes seen on the watch
  bool lastClosed = false;  // the last event seen was a close
  bool stirred = false;     // events came since the last Open()
  UniqueFd fd;              // our own descriptor of the file, open from before the watch on
};

class GuardedSpoolFiles {
 public:
  // Opens `path` for a take under the guard. `opened` is a descriptor OpenSpoolPath just made for it (the
  // lease strategy's, when leases turned out to be unavailable), or invalid: the guard then opens the
  // file itself, reusing its own descriptor when the file is the one it watches.
  std::unique_ptr<SpoolFile> Open(const std::string& path, UniqueFd opened, SpoolNotice& notice);

  // Reads the waiting inotify events into the guards.
  void CountOpeners();

 private:
  UniqueFd inotify_;
  std::unordered_map<std::string, Guard> guards_;
};

}  // namespace quillmark::posix_spool
