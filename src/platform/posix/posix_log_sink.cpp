#include "platform/posix/posix_log_sink.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace quillmark {
namespace {

constexpr int kAppendFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0644;

std::string SystemReason(int error) { return std::error_code(error, std::generic_category()).message(); }

// Closes a descriptor when leaving scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// A link is followed only while it is the same link of the same owner before and after the open, so that a
// link swapped in by another user between the two looks is refused too.
int OpenOwnLink(const std::string& path, std::string& reason) {
  struct stat before {};
  if (::lstat(path.c_str(), &before) != 0) {
    reason = SystemReason(errno);
    return -1;
  }
  const auto ownLink = [&](const struct stat& link) {
    return S_ISLNK(link.st_mode) && link.st_uid == ::geteuid() && link.st_ino == before.st_ino &&
           link.st_dev == before.st_dev;
  };
  if (!ownLink(before)) {
    reason = "Verknuepfung eines anderen Benutzers";
    return -1;
  }
  const int fd = ::open(path.c_str(), kAppendFlags | O_CREAT, kNewFileMode);
  if (fd < 0) {
    reason = SystemReason(errno);
    return -1;
  }
  struct stat after {};
  if (::lstat(path.c_str(), &after) != 0 || !ownLink(after)) {
    ::close(fd);
    reason = "Verknuepfung eines anderen Benutzers";
    return -1;
  }
  return fd;
}

// The file under `path`: the existing one without following a link, a new one made exclusively, or the
// target of a link of the program's own user. -1 with `reason` otherwise.
int OpenLog(const std::string& path, std::string& reason) {
  // Two rounds: a file made by another writer between the looks is then opened as existing.
  for (int round = 0; round < 2; ++round) {
    int fd = ::open(path.c_str(), kAppendFlags | O_NOFOLLOW);
    if (fd >= 0) return fd;
    if (errno == ELOOP) return OpenOwnLink(path, reason);
    if (errno != ENOENT) break;
    fd = ::open(path.c_str(), kAppendFlags | O_CREAT | O_EXCL, kNewFileMode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  reason = SystemReason(errno);
  return -1;
}

// Why the opened file must not be written, or "".
std::string Refusal(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return SystemReason(errno);
  if (!S_ISREG(info.st_mode)) return "keine gewoehnliche Datei";
  if (info.st_nlink > 1) return "Datei mit mehreren harten Links";
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return SystemReason(EACCES);
  const int status = ::fcntl(fd, F_GETFL);
  if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) return SystemReason(errno);
  return "";
}

std::string WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return SystemReason(errno);
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return "";
}

}  // namespace

std::string PosixLogSink::Append(std::string_view headerIfEmpty, std::string_view entry) {
  std::string reason;
  // O_NONBLOCK keeps a FIFO under the name from blocking the open; Refusal turns it off for the file.
  const Descriptor file(OpenLog(path_, reason));
  if (file.get() < 0) return reason;
  if (reason = Refusal(file.get()); !reason.empty()) return reason;
  while (::flock(file.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return SystemReason(errno);
  }
  // The size is looked at under the lock, so exactly one writer sees the empty file and writes the header.
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return SystemReason(errno);
  std::string text;
  if (info.st_size == 0) text.append(headerIfEmpty);
  text.append(entry);
  return WriteAll(file.get(), text);  // closing releases the lock
}

}  // namespace quillmark
