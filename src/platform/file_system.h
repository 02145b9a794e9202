#pragma once
// Plain file access for the settings file, the error log and kept job data. Paths are used as given;
// relative ones resolve against the working directory. Any thread may call; no call throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads an existing regular file whole into `contents`. False when it is missing, not a regular file or
  // cannot be read; `contents` is then empty.
  virtual bool ReadWholeFile(const std::string& path, std::string& contents) = 0;

  // Opens `path` for appending (creating it), takes an exclusive lock against other processes, writes
  // `headerIfEmpty` first when the file is empty, then `text`, and closes it. False when it cannot be
  // opened; write errors are ignored.
  virtual bool AppendLocked(const std::string& path, std::string_view headerIfEmpty, std::string_view text) = 0;

  // Writes `size` bytes into a new file in `folder` (created when missing), never overwriting a file.
  // Returns the new file's path, or the empty string when nothing could be written.
  virtual std::string SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace quillmark
