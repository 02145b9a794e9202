#pragma once

#include "platform/file_system.h"
#include "platform/posix/posix_clock.h"

namespace quillmark {

// Files through POSIX calls. A file without any write permission bit counts as read-only even for root,
// the way a read-only attribute binds every user. SaveNewFile names files "YYYYMMDD-HHMMSS-<n>.prn" from
// `clock` so that they sort by time, taking the next n when a name is taken; MoveToNewFile names alike. Files
// it makes for job data are created exclusively and readable by their owner only (0600). Links on the way are
// followed only when they belong to this user or root, and the folders it keeps job data in must belong to
// them too (platform/posix/trusted_path.h). Failures carry strerror's text.
class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem() : clock_(&ownClock_) {}
  explicit PosixFileSystem(const Clock& clock) : clock_(&clock) {}

  FileStatus ReadWholeFile(const std::string& path, std::string& contents) override;
  FileStatus SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override;
  FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override;
  FileStatus CopyNewFile(const std::string& path, std::uint64_t size, const BlockSource& source) override;
  FileStatus OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) override;
  FileStatus FlushToDisk(const std::string& path) override;
  FileStatus MoveToNewFile(const std::string& path, const std::string& folder) override;
  FileStatus Rename(const std::string& path, const std::string& target) override;
  FileStatus RenameUnflushed(const std::string& path, const std::string& target) override;
  FileStatus RemoveDurably(const std::string& path) override;
  FileStatus ChangeStamp(const std::string& path, std::string& stamp) override;
  FileStatus Continues(const std::string& path, const std::string& earlier, bool& continues) override;
  FileStatus ListFiles(const std::string& folder, std::vector<std::string>& names) override;

 private:
  PosixClock ownClock_;
  const Clock* clock_;
};

}  // namespace quillmark
