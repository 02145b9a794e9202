#include "platform/posix/spool_file_base.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/change_stamp.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/read_at.h"

namespace quillmark::posix_spool {

bool Takeable(int fd, SpoolNotice& notice, struct stat& st) {
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    notice = SpoolNotice::kNotRegular;
    return false;
  }
  // A second name may be another user's file that they want read out and emptied.
  if (st.st_nlink > 1) {
    notice = SpoolNotice::kLinked;
    return false;
  }
  return true;
}

UniqueFd OpenSpoolPath(const std::string& path, SpoolNotice& notice, struct stat& st) {
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    notice = S_ISLNK(st.st_mode) ? SpoolNotice::kLinked : SpoolNotice::kNotRegular;
    return UniqueFd();
  }
  // O_NONBLOCK: a file leased by someone else (another instance) fails at once instead of waiting for the
  // lease break, and a FIFO put there since the look above opens without waiting and is refused below.
  // O_NOFOLLOW: a link put there since the look above is not followed.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0666));
  if (!fd.valid()) {
    if (errno == ELOOP) notice = SpoolNotice::kLinked;
    return fd;
  }
  if (!Takeable(fd.get(), notice, st)) return UniqueFd();
  return fd;
}

std::int64_t SpoolFileBase::Size() {
  struct stat st {};
  if (::fstat(fd(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::int64_t SpoolFileBase::Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) {
  return ReadAt(fd(), offset, buffer, length);
}

std::string SpoolFileBase::ChangeStamp() {
  struct stat st {};
  if (::fstat(fd(), &st) != 0) return {};
  WaitPastChangeTime(st);
  return ChangeStampOf(st);
}

FileStatus SpoolFileBase::Empty(std::int64_t readSize) {
  struct stat st {};
  if (::fstat(fd(), &st) != 0) return ErrnoStatus({});
  if (st.st_size != readSize) return FileStatus::Failed({}, "changed since it was read");
  // A second name made since it was opened may belong to a file another user wants emptied.
  if (st.st_nlink > 1) return FileStatus::Failed({}, "has more than one name");
  if (FileStatus may = MayEmpty(); !may.ok()) return may;
  if (::ftruncate(fd(), 0) != 0) return ErrnoStatus({});
  Emptied();
  return FileStatus::Done();
}

}  // namespace quillmark::posix_spool
