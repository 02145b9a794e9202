#pragma once
// Plain file access for the settings file and kept job data. Paths are used as given;
// relative ones resolve against the working directory. Any thread may call; no call throws.
//
// Every call answers with a FileStatus (platform/file_status.h): done, failed with the
// path and the system's reason, or not supported. The optional calls below default to "not supported",
// which is no failure of the disk: a file system without them keeps nothing, so no spool file is ever
// emptied on it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_status.h"
#include "platform/take_file.h"

namespace quillmark {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads an existing regular file whole into `contents`. Fails when it is missing, not a regular file or
  // cannot be read; `contents` is then empty.
  virtual FileStatus ReadWholeFile(const std::string& path, std::string& contents) = 0;

  // Writes `size` bytes into a new file in `folder` (created when missing), never overwriting a file, and
  // flushes file and folder to the disk. Done with the new file's path; a failure leaves no file behind.
  virtual FileStatus SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) = 0;

  // The calls below keep takes on disk.

  // Writes `size` bytes into the new file `path` (its folder created when missing, an existing file never
  // replaced), not yet flushed. Done when all of it was written; a file that could not be made whole is
  // removed again.
  virtual FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    static_cast<void>(data), static_cast<void>(size);
    return FileStatus::NotSupported(path);
  }

  // Fills `length` bytes at `block` with the bytes from `offset` on; false when it cannot.
  using BlockSource = std::function<bool(std::uint8_t* block, std::size_t length, std::uint64_t offset)>;

  // Writes the new file `path` as WriteNewFile does, its `size` bytes asked from `source` block by block,
  // so that no more than a block is ever held. A source that fails fails the write (and removes the file).
  virtual FileStatus CopyNewFile(const std::string& path, std::uint64_t size, const BlockSource& source) {
    // A file system that cannot write in blocks gets the bytes in one piece.
    std::string bytes(size, '\0');
    auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
    if (size > 0 && !source(data, bytes.size(), 0)) return FileStatus::Failed(path, "cannot be read");
    return WriteNewFile(path, data, bytes.size());
  }

  // Opens the existing regular file `path` for reading as a take, into `take`. Failed (with the system's
  // reason) when it is missing or cannot be read.
  virtual FileStatus OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) {
    // A file system without mappings reads the file whole.
    std::string bytes;
    FileStatus read = ReadWholeFile(path, bytes);
    if (read.ok()) take = std::make_unique<MemoryTakeFile>(std::move(bytes));
    return read;
  }

  // Moves the file `path` into `folder` (created when missing) under a new name chosen as by
  // SaveNewFile, without copying it, and flushes both folders. Done with the new path; else it stays.
  virtual FileStatus MoveToNewFile(const std::string& path, const std::string& folder) {
    static_cast<void>(folder);
    return FileStatus::NotSupported(path);
  }

  // Flushes the file `path` and its folder to the disk. Done when both are there.
  virtual FileStatus FlushToDisk(const std::string& path) { return FileStatus::NotSupported(path); }

  // Renames `path` to `target` in the same folder, replacing nothing, and flushes the folder.
  virtual FileStatus Rename(const std::string& path, const std::string& target) {
    static_cast<void>(target);
    return FileStatus::NotSupported(path);
  }

  // Rename without the flush, for a step that must follow another at once; a journalling file system
  // writes renames in order, so a later flushed change brings this one to the disk too.
  virtual FileStatus RenameUnflushed(const std::string& path, const std::string& target) {
    return Rename(path, target);
  }

  // Removes the file `path` and flushes its folder. Done when it is gone (also when it was never there).
  virtual FileStatus RemoveDurably(const std::string& path) { return FileStatus::NotSupported(path); }

  // A text that changes whenever the file `path` is written, cut or replaced (its identity, size and change
  // time), the same text SpoolFile::ChangeStamp gives for it. Not supported where the system cannot say.
  virtual FileStatus ChangeStamp(const std::string& path, std::string& stamp) {
    stamp.clear();
    return FileStatus::NotSupported(path);
  }

  // Whether the file `path` is longer than the file `earlier` and begins with all of its bytes, as a spool
  // file does that was written to but never emptied. Not supported where the system cannot say.
  virtual FileStatus Continues(const std::string& path, const std::string& /*earlier*/, bool& continues) {
    continues = false;
    return FileStatus::NotSupported(path);
  }

  // The names (not paths) of the regular files in `folder`, sorted by byte value, into `names`. A missing
  // folder is done and empty.
  virtual FileStatus ListFiles(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    return FileStatus::NotSupported(folder);
  }
};

}  // namespace quillmark
