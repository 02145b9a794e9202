#pragma once
// The spool file seam. Called on the spool watcher's thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_status.h"

namespace quillmark {

// One spool file opened for a take. While the object lives no other process can open the file for
// writing or cut it, as far as the platform can make sure of that (see Empty). Destroying it closes the file.
class SpoolFile {
 public:
  virtual ~SpoolFile() = default;
  // The length in bytes; -1 when it cannot be read.
  virtual std::int64_t Size() = 0;
  // Reads up to `length` bytes from `offset` into `buffer`; returns the count read, -1 on error.
  virtual std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) = 0;
  // Cuts the file to length 0 in place, through the descriptor that was read (same file, never deleted or
  // renamed), but only while nobody else can have written to it since it was opened and its length is still
  // `readSize`. Failed when it was left as it is: the reason says whether it changed or the system refused.
  virtual FileStatus Empty(std::int64_t readSize) = 0;
  // The file's change stamp as FileSystem::ChangeStamp gives it, returned only once the system's clock has
  // moved past the file's last change, so that any change from now on (Empty included) gives another
  // stamp. Empty where the platform cannot say.
  virtual std::string ChangeStamp() { return {}; }
};

// What Open() has to say about a path besides its result; the watcher logs each kind once per run.
enum class SpoolNotice {
  kNone,
  kInUse,                // another process has the file open: no file this pass
  kNotRegular,           // a FIFO, device or folder: never opened, no file
  kLinked,               // a symbolic link, or a file with more than one name: never emptied, no file
  kGuardedWithoutLease,  // no exclusive hold is possible here; the file is guarded by watching its openers
};

class SpoolFiles {
 public:
  virtual ~SpoolFiles() = default;
  // Opens `path` for a take, creating it empty when missing. nullptr when the path or folder is bad, rights
  // are missing, it is no regular file, or another process has the file open (the sharing conflict): the
  // caller skips it. `notice` is set on every call.
  virtual std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) = 0;
};

}  // namespace quillmark
