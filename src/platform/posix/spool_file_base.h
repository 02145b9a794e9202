#pragma once
// What both spool-file strategies share: opening the path without following links, and a taken file that
// reads and empties through its one descriptor. Internal to the POSIX spool files.

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/posix/unique_fd.h"
#include "platform/spool_file.h"

namespace quillmark::posix_spool {

// Opens `path` read-write, creating it, for a take: never through a symbolic link, never a FIFO, device or
// folder, never a file with a second name. Sets `notice` for those; an invalid descriptor when refused or
// when the open failed. `st` holds the file's status on success.
UniqueFd OpenSpoolPath(const std::string& path, SpoolNotice& notice, struct stat& st);

// Whether `fd` is a file this program may take: a regular file with one name. Sets `notice` when not.
bool Takeable(int fd, SpoolNotice& notice, struct stat& st);

// A taken spool file. Empty() checks what both strategies require (same size as read, still one name),
// asks the strategy (MayEmpty), cuts the file through the descriptor and tells the strategy (Emptied).
class SpoolFileBase : public SpoolFile {
 public:
  explicit SpoolFileBase(UniqueFd fd) : fd_(std::move(fd)) {}

  std::int64_t Size() override;
  std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override;
  std::string ChangeStamp() override;
  FileStatus Empty(std::int64_t readSize) override;

 protected:
  int fd() const { return fd_.get(); }
  virtual FileStatus MayEmpty() = 0;
  virtual void Emptied() {}

 private:
  UniqueFd fd_;
};

}  // namespace quillmark::posix_spool
