#pragma once

#include "platform/file_system.h"
#include "platform/posix/posix_clock.h"

namespace quillmark {

// Files through POSIX calls. SaveNewFile names files "YYYYMMDD-HHMMSS-<n>.prn" from `clock`
// so that they sort by time, taking the next n when a name is taken; MoveToNewFile names alike.
class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem() : clock_(&ownClock_) {}
  explicit PosixFileSystem(const Clock& clock) : clock_(&clock) {}

  bool ReadWholeFile(const std::string& path, std::string& contents) override;
  std::string SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override;
  bool WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override;
  bool FlushToDisk(const std::string& path) override;
  std::string MoveToNewFile(const std::string& path, const std::string& folder) override;
  bool Rename(const std::string& path, const std::string& target) override;
  bool RemoveDurably(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;

 private:
  PosixClock ownClock_;
  const Clock* clock_;
};

}  // namespace quillmark
