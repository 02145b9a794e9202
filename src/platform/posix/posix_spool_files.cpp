#include "platform/posix/posix_spool_files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {
namespace {

using Stamp = PosixSpoolFiles::Stamp;

Stamp StampOf(const struct stat& st) {
  return Stamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
               static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
               static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

class PosixSpoolFile final : public SpoolFile {
 public:
  // `lastSeen` is null for a leased file; otherwise it is the stability check's record of this path.
  PosixSpoolFile(int fd, bool leased, Stamp* lastSeen) : fd_(fd), leased_(leased), lastSeen_(lastSeen) {}

  ~PosixSpoolFile() override {
    // Give the lease back explicitly so that writers waiting in open() go on at once.
    if (leased_) ::fcntl(fd_, F_SETLEASE, F_UNLCK);
    ::close(fd_);
  }

  PosixSpoolFile(const PosixSpoolFile&) = delete;
  PosixSpoolFile& operator=(const PosixSpoolFile&) = delete;

  std::int64_t Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
  }

  std::int64_t Read(std::uint8_t* buffer, std::int64_t length) override {
    std::int64_t done = 0;
    while (done < length) {
      const ssize_t got = ::pread(fd_, buffer + done, static_cast<std::size_t>(length - done), done);
      if (got < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? done : -1;
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  bool Empty() override {
    if (lastSeen_ != nullptr) {
      // Without a lease a writer may have added bytes since the file was measured; those were not read.
      struct stat st {};
      if (::fstat(fd_, &st) != 0 || !(StampOf(st) == *lastSeen_)) return false;
    }
    if (::ftruncate(fd_, 0) != 0) return false;
    if (lastSeen_ != nullptr) {
      struct stat st {};
      if (::fstat(fd_, &st) == 0) *lastSeen_ = StampOf(st);
    }
    return true;
  }

 private:
  int fd_;
  bool leased_;
  Stamp* lastSeen_;
};

}  // namespace

PosixSpoolFiles::PosixSpoolFiles(Sharing sharing) : sharing_(sharing) { PrepareLeaseBreakSignal(); }

void PosixSpoolFiles::PrepareLeaseBreakSignal() {
  struct sigaction current {};
  if (::sigaction(SIGIO, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGIO, &ignore, nullptr);
}

std::unique_ptr<SpoolFile> PosixSpoolFiles::Open(const std::string& path) {
  // O_NONBLOCK: a file leased by someone else (another instance) fails at once instead of waiting for the
  // lease break, and a FIFO or device opens without waiting and is then refused below.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }

  if (sharing_ == Sharing::Lease) {
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) return std::make_unique<PosixSpoolFile>(fd, true, nullptr);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // Another descriptor of the file is open: the sharing conflict.
      ::close(fd);
      return nullptr;
    }
    // No leases here (EINVAL, ENOLCK, EACCES, ...): fall back to the stability check.
  }

  const Stamp now = StampOf(st);
  auto [entry, inserted] = lastSeen_.try_emplace(path, now);
  if (!inserted && entry->second == now) return std::make_unique<PosixSpoolFile>(fd, false, &entry->second);
  entry->second = now;
  ::close(fd);
  return nullptr;
}

}  // namespace quillmark
