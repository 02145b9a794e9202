#include "platform/posix/posix_take_file.h"

#include <errno.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>

#include "platform/posix/read_at.h"

namespace quillmark {
namespace {

class PosixTakeFile final : public TakeFile {
 public:
  explicit PosixTakeFile(UniqueFd fd) : fd_(std::move(fd)) {}
  ~PosixTakeFile() override {
    if (map_ != nullptr) ::munmap(map_, mapped_);
  }
  PosixTakeFile(const PosixTakeFile&) = delete;
  PosixTakeFile& operator=(const PosixTakeFile&) = delete;

  std::int64_t Size() override {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
  }

  std::int64_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    return quillmark::ReadAt(fd_.get(), offset, buffer, length);
  }

  const std::uint8_t* Map(std::int64_t length) override {
    // Never past the end: a page beyond it would fault the process when touched.
    const std::int64_t size = std::min(length, Size());
    if (map_ != nullptr || size <= 0) return nullptr;
    void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd_.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    ::madvise(map, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
    map_ = map;
    mapped_ = static_cast<std::size_t>(size);
    return static_cast<const std::uint8_t*>(map);
  }

  void Drop(std::int64_t position) override {
    if (map_ == nullptr || position <= 0) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t whole = std::min(static_cast<std::size_t>(position), mapped_) / page * page;
    // Clean file pages: dropping them only means reading them again if an interpreter looks back.
    if (whole <= dropped_) return;
    ::madvise(static_cast<char*>(map_) + dropped_, whole - dropped_, MADV_DONTNEED);
    dropped_ = whole;
  }

 private:
  UniqueFd fd_;
  void* map_ = nullptr;
  std::size_t mapped_ = 0;
  std::size_t dropped_ = 0;  // the pages below it were dropped
};

}  // namespace

std::unique_ptr<TakeFile> MakePosixTakeFile(UniqueFd fd) {
  return std::make_unique<PosixTakeFile>(std::move(fd));
}

}  // namespace quillmark
