#pragma once
// Plain file access for the settings file and kept job data. Paths are used as given;
// relative ones resolve against the working directory. Any thread may call; no call throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmark {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads an existing regular file whole into `contents`. False when it is missing, not a regular file or
  // cannot be read; `contents` is then empty.
  virtual bool ReadWholeFile(const std::string& path, std::string& contents) = 0;

  // Writes `size` bytes into a new file in `folder` (created when missing), never overwriting a file, and
  // flushes file and folder to the disk. Returns the new file's path, or the empty string when nothing
  // could be written.
  virtual std::string SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) = 0;

  // The four calls below keep takes on disk. A file system without them (the defaults) keeps nothing, so
  // no spool file is ever emptied on it.

  // Writes `size` bytes into the new file `path` (its folder created when missing, an existing file never
  // replaced), not yet flushed. True when all of it was written; a file that could not be made whole is
  // removed again.
  virtual bool WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    static_cast<void>(path), static_cast<void>(data), static_cast<void>(size);
    return false;
  }

  // Moves the file `path` into `folder` (created when missing) under a new name chosen as by
  // SaveNewFile, without copying it, and flushes both folders. Returns the new path, or "" when it stays.
  virtual std::string MoveToNewFile(const std::string& path, const std::string& folder) {
    static_cast<void>(path), static_cast<void>(folder);
    return {};
  }

  // Flushes the file `path` and its folder to the disk. True when both are there.
  virtual bool FlushToDisk(const std::string& path) {
    static_cast<void>(path);
    return false;
  }

  // Renames `path` to `target` in the same folder, replacing nothing, and flushes the folder.
  virtual bool Rename(const std::string& path, const std::string& target) {
    static_cast<void>(path), static_cast<void>(target);
    return false;
  }

  // Removes the file `path` and flushes its folder. True when it is gone.
  virtual bool RemoveDurably(const std::string& path) {
    static_cast<void>(path);
    return false;
  }

  // The names (not paths) of the regular files in `folder`, sorted by byte value; empty when it is missing.
  virtual std::vector<std::string> ListFiles(const std::string& folder) {
    static_cast<void>(folder);
    return {};
  }
};

}  // namespace quillmark
