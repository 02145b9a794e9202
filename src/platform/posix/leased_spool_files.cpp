#include "platform/posix/leased_spool_files.h"

#include <errno.h>
#include <fcntl.h>
#include <time.h>

#include <cstdio>

namespace quillmark::posix_spool {
namespace {

// Seconds on a clock that runs on while the process is frozen or the machine sleeps, as the kernel's
// lease-break timer does.
double BootSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// How long the kernel lets a lease holder keep a writer waiting before it takes the lease away.
double LeaseBreakSeconds() {
  static const double seconds = [] {
    double value = 45;
    if (std::FILE* file = std::fopen("/proc/sys/fs/lease-break-time", "r")) {
      if (std::fscanf(file, "%lf", &value) != 1) value = 45;
      std::fclose(file);
    }
    return value;
  }();
  return seconds;
}

class LeasedSpoolFile final : public SpoolFileBase {
 public:
  LeasedSpoolFile(UniqueFd fd, const bool& loseLease)
      : SpoolFileBase(std::move(fd)), loseLease_(loseLease), leasedAt_(BootSeconds()) {}
  // Gives the lease back explicitly so that writers waiting in open() go on at once.
  ~LeasedSpoolFile() override { ::fcntl(fd(), F_SETLEASE, F_UNLCK); }
  LeasedSpoolFile(const LeasedSpoolFile&) = delete;
  LeasedSpoolFile& operator=(const LeasedSpoolFile&) = delete;

 private:
  FileStatus MayEmpty() override {
    const bool lost = loseLease_;
    if (lost) ::fcntl(fd(), F_SETLEASE, F_UNLCK);
    // A lease that a writer's open is breaking reads as unlocked, yet the writer still waits until the
    // break time has passed since it came, which was after the lease was taken. Past that time only an
    // unbroken lease proves that nobody wrote.
    const bool writerStillWaits = !lost && BootSeconds() - leasedAt_ < LeaseBreakSeconds() - 1;
    if (!writerStillWaits && ::fcntl(fd(), F_GETLEASE) != F_WRLCK) {
      return FileStatus::Failed({}, "lease broken by a waiting writer");
    }
    return FileStatus::Done();
  }

  const bool& loseLease_;
  double leasedAt_;
};

}  // namespace

LeasedSpoolFiles::Outcome LeasedSpoolFiles::Take(UniqueFd& fd, std::unique_ptr<SpoolFile>& file) {
  if (::fcntl(fd.get(), F_SETLEASE, F_WRLCK) == 0) {
    file = std::make_unique<LeasedSpoolFile>(std::move(fd), loseLeaseBeforeEmpty_);
    return Outcome::kTaken;
  }
  // Another descriptor of the file is open: the sharing conflict. Anything else (EINVAL, ENOLCK, EACCES):
  // no leases here.
  if (errno == EAGAIN || errno == EWOULDBLOCK) {
    fd.Reset();
    return Outcome::kInUse;
  }
  return Outcome::kUnsupported;
}

}  // namespace quillmark::posix_spool
