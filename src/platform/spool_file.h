#pragma once
// The spool file seam. Called on the spool watcher's thread only.

#include <cstdint>
#include <memory>
#include <string>

namespace quillmark {

// One spool file opened for a take. While the object lives no other process can open the file for
// writing or cut it. Destroying it closes the file.
class SpoolFile {
 public:
  virtual ~SpoolFile() = default;
  // The length in bytes; -1 when it cannot be read.
  virtual std::int64_t Size() = 0;
  // Reads up to `length` bytes from the start into `buffer`; returns the count read, -1 on error.
  virtual std::int64_t Read(std::uint8_t* buffer, std::int64_t length) = 0;
  // Cuts the file to length 0 in place (same file, never deleted or renamed). False on failure.
  virtual bool Empty() = 0;
};

class SpoolFiles {
 public:
  virtual ~SpoolFiles() = default;
  // Opens `path` for a take, creating it empty when missing. nullptr when the path or folder is bad, rights
  // are missing, or another process has the file open (the sharing conflict): the caller skips it.
  virtual std::unique_ptr<SpoolFile> Open(const std::string& path) = 0;
};

}  // namespace quillmark
