#pragma once
// A take's file opened for reading: the interpreters read it through a read-only mapping, so that no take
// is ever held whole in the program's own memory. Used by one thread at a time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace quillmark {

class TakeFile {
 public:
  virtual ~TakeFile() = default;
  // The file's length now; -1 when it cannot be read.
  virtual std::int64_t Size() = 0;
  // Reads up to `length` bytes from `offset` into `buffer`; the count read, -1 on an error.
  virtual std::int64_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) = 0;
  // The first `length` bytes (at most Size()), read-only, until the object goes; null when they cannot be
  // mapped. Called once.
  virtual const std::uint8_t* Map(std::int64_t length) = 0;
  // The mapped pages wholly before `position` may leave memory; touched again, they are read again.
  virtual void Drop(std::int64_t position) { static_cast<void>(position); }
};

// A take that is a file's bytes held in memory: what a file system without mappings gives.
class MemoryTakeFile final : public TakeFile {
 public:
  explicit MemoryTakeFile(std::string bytes) : bytes_(std::move(bytes)) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    if (offset < 0 || length < 0) return -1;
    const std::int64_t count = std::clamp<std::int64_t>(Size() - offset, 0, length);
    if (count > 0) std::memcpy(buffer, bytes_.data() + offset, static_cast<std::size_t>(count));
    return count;
  }
  const std::uint8_t* Map(std::int64_t) override {
    return reinterpret_cast<const std::uint8_t*>(bytes_.data());
  }

 private:
  std::string bytes_;
};

}  // namespace quillmark
