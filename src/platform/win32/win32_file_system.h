#pragma once

#include "platform/file_system.h"
#include "platform/win32/win32_clock.h"

namespace quillmark {

// Files through the Win32 file calls; names are converted by WideFromSettings. ReadWholeFile shares the
// file with every other opener, so a file that an editor holds open is still read. SaveNewFile names files
// "YYYYMMDD-HHMMSS-<n>.prn" from `clock`, taking the next n when a name is taken; MoveToNewFile names
// alike. Folders cannot be flushed on their own here: renames and removals are written through instead.
class Win32FileSystem final : public FileSystem {
 public:
  Win32FileSystem() : clock_(&ownClock_) {}
  explicit Win32FileSystem(const Clock& clock) : clock_(&clock) {}

  FileStatus ReadWholeFile(const std::string& path, std::string& contents) override;
  FileStatus SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override;
  FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override;
  FileStatus CopyNewFile(const std::string& path, std::uint64_t size, const BlockSource& source) override;
  FileStatus OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) override;
  FileStatus FlushToDisk(const std::string& path) override;
  FileStatus MoveToNewFile(const std::string& path, const std::string& folder) override;
  FileStatus Rename(const std::string& path, const std::string& target) override;
  FileStatus RemoveDurably(const std::string& path) override;
  FileStatus ListFiles(const std::string& folder, std::vector<std::string>& names) override;

 private:
  Win32Clock ownClock_;
  const Clock* clock_;
};

// Creates `folder` and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::wstring& folder);

}  // namespace quillmark
