#include "platform/posix/posix_spool_files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/posix/posix_error.h"

namespace quillmark {
namespace {

constexpr const char* kChanged = "changed since it was read";
constexpr const char* kLeaseLost = "lease broken by a waiting writer";
constexpr const char* kOpenedElsewhere = "opened by another program";

using Stamp = PosixSpoolFiles::Stamp;
using Guard = PosixSpoolFiles::Guard;

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

Stamp StampOf(const struct stat& st) {
  return Stamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
               static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
               static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

// Whether a process other than this one has a descriptor of the file. Processes whose descriptors this
// user may not see are missed; the inotify counts cover them once the watch exists.
bool OpenedElsewhere(const Stamp& file) {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return false;
  const std::string self = std::to_string(::getpid());
  bool found = false;
  while (const dirent* process = ::readdir(proc)) {
    const std::string_view pid = process->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        pid == self) {
      continue;
    }
    const std::string fdFolder = "/proc/" + std::string(pid) + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) continue;
    while (const dirent* fd = ::readdir(fds)) {
      struct stat st {};
      if (fd->d_name[0] != '.' && ::fstatat(::dirfd(fds), fd->d_name, &st, 0) == 0 &&
          static_cast<std::uint64_t>(st.st_dev) == file.device &&
          static_cast<std::uint64_t>(st.st_ino) == file.inode) {
        found = true;
        break;
      }
    }
    ::closedir(fds);
    if (found) break;
  }
  ::closedir(proc);
  return found;
}

class PosixSpoolFile final : public SpoolFile {
 public:
  // `guard` is null for a leased file.
  PosixSpoolFile(int fd, PosixSpoolFiles& owner, Guard* guard, const Stamp& opened)
      : fd_(fd), owner_(owner), guard_(guard), opened_(opened), leasedAt_(BootSeconds()) {}

  ~PosixSpoolFile() override {
    // Give the lease back explicitly so that writers waiting in open() go on at once.
    if (guard_ == nullptr) ::fcntl(fd_, F_SETLEASE, F_UNLCK);
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

  FileStatus Empty(std::int64_t readSize) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return ErrnoStatus({});
    if (st.st_size != readSize) return FileStatus::Failed({}, kChanged);
    if (guard_ == nullptr) {
      const bool lost = owner_.loseLeaseBeforeEmpty;
      if (lost) ::fcntl(fd_, F_SETLEASE, F_UNLCK);
      // A lease that a writer's open is breaking reads as unlocked, yet the writer still waits until the
      // break time has passed since it came, which was after the lease was taken. Past that time only an
      // unbroken lease proves that nobody wrote.
      const bool writerStillWaits = !lost && BootSeconds() - leasedAt_ < LeaseBreakSeconds() - 1;
      if (!writerStillWaits && ::fcntl(fd_, F_GETLEASE) != F_WRLCK) return FileStatus::Failed({}, kLeaseLost);
    } else {
      // A change since Open() means a writer came and went. The slow scan first, so that the last look
      // comes right before the cut.
      if (OpenedElsewhere(opened_)) return FileStatus::Failed({}, kOpenedElsewhere);
      owner_.CountOpeners();
      if (guard_->openers > 0) return FileStatus::Failed({}, kOpenedElsewhere);
      if (::fstat(fd_, &st) != 0) return ErrnoStatus({});
      if (!(StampOf(st) == opened_)) return FileStatus::Failed({}, kChanged);
    }
    if (::ftruncate(fd_, 0) != 0) return ErrnoStatus({});
    if (guard_ != nullptr && ::fstat(fd_, &st) == 0) guard_->lastSeen = StampOf(st);
    return FileStatus::Done();
  }

 private:
  int fd_;
  PosixSpoolFiles& owner_;
  Guard* guard_;
  Stamp opened_;
  double leasedAt_;
};

}  // namespace

PosixSpoolFiles::PosixSpoolFiles(Sharing sharing) : sharing_(sharing) { PrepareLeaseBreakSignal(); }

PosixSpoolFiles::~PosixSpoolFiles() {
  for (auto& [path, guard] : guards_) {
    if (guard.fd >= 0) ::close(guard.fd);
  }
  if (inotify_ >= 0) ::close(inotify_);
}

void PosixSpoolFiles::PrepareLeaseBreakSignal() {
  struct sigaction current {};
  if (::sigaction(SIGIO, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGIO, &ignore, nullptr);
}

void PosixSpoolFiles::CountOpeners() {
  if (inotify_ < 0) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
    if (got <= 0) return;
    for (ssize_t at = 0; at < got;) {
      inotify_event event{};
      std::copy_n(buffer + at, sizeof event, reinterpret_cast<char*>(&event));
      at += static_cast<ssize_t>(sizeof event + event.len);
      for (auto& [path, guard] : guards_) {
        if (guard.watch != event.wd) continue;
        guard.stirred = true;
        guard.lastClosed = (event.mask & IN_CLOSE) != 0;
        if ((event.mask & IN_OPEN) != 0) ++guard.openers;
        if ((event.mask & IN_CLOSE) != 0) guard.openers = std::max(0, guard.openers - 1);
        if ((event.mask & IN_IGNORED) != 0) guard.watch = -1;
      }
    }
  }
}

std::unique_ptr<SpoolFile> PosixSpoolFiles::Open(const std::string& path, SpoolNotice& notice) {
  notice = SpoolNotice::kNone;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    notice = SpoolNotice::kNotRegular;
    return nullptr;
  }
  Guard* guard = nullptr;
  if (sharing_ == Sharing::Guarded) {
    guard = &guards_[path];
    if (inotify_ < 0) inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    CountOpeners();
    // Two closes at the same moment can still fold into one event, and the count would stay up for good.
    // A close as the last thing seen and a whole pass without events end that.
    if (guard->lastClosed && !guard->stirred) guard->openers = 0;
    guard->stirred = false;
  }
  // O_NONBLOCK: a file leased by someone else (another instance) fails at once instead of waiting for the
  // lease break, and a FIFO put there since the look above opens without waiting and is refused below.
  // The guard's own descriptor is copied, which the watch does not see.
  const bool held = guard != nullptr && guard->fd >= 0 && st.st_ino == guard->lastSeen.inode &&
                    st.st_dev == guard->lastSeen.device;
  const int fd = held ? ::fcntl(guard->fd, F_DUPFD_CLOEXEC, 0)
                      : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    notice = SpoolNotice::kNotRegular;
    ::close(fd);
    return nullptr;
  }
  const Stamp now = StampOf(st);

  if (guard == nullptr) {
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0)
      return std::make_unique<PosixSpoolFile>(fd, *this, nullptr, now);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // Another descriptor of the file is open: the sharing conflict.
      notice = SpoolNotice::kInUse;
      ::close(fd);
      return nullptr;
    }
    // No leases here (EINVAL, ENOLCK, EACCES, ...): guard it instead from now on.
    sharing_ = Sharing::Guarded;
    guard = &guards_[path];
    if (inotify_ < 0) inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }

  const bool fresh = !guard->seen;
  guard->seen = true;
  if (guard->watch >= 0 && guard->lastSeen.inode != now.inode) {
    ::inotify_rm_watch(inotify_, guard->watch);
    guard->watch = -1;
  }
  if (guard->watch < 0 && inotify_ >= 0) {
    // New, or the file at the path was replaced: count from here, and let the stamp say it is unstable.
    // Our descriptor stays open from before the watch on, so that our passes add no opens or closes.
    if (guard->fd >= 0) ::close(guard->fd);
    guard->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    guard->watch = ::inotify_add_watch(inotify_, path.c_str(), IN_OPEN | IN_CLOSE);
    guard->openers = 0;
    // The kernel folds an event into an identical one still unread before it (two writers' closes), and
    // the count would stay up for good. Watched, the folder gets its own event next to each of the
    // file's, so that two of the file's are adjacent only when they come at the very same moment.
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
    ::inotify_add_watch(inotify_, folder.c_str(), IN_OPEN | IN_CLOSE);
  }
  notice = SpoolNotice::kGuardedWithoutLease;
  // Taken only once it stood still for a pass. The stamp of an empty file too, else the inode looks new
  // every pass and the watch, with the count of a writer's open, is thrown away.
  const bool stable = !fresh && guard->lastSeen == now;
  guard->lastSeen = now;
  // An empty file is closed unchanged by the caller; nothing to guard.
  if (st.st_size == 0) return std::make_unique<PosixSpoolFile>(fd, *this, guard, now);
  if (guard->openers > 0 || OpenedElsewhere(now)) {
    notice = SpoolNotice::kInUse;
    ::close(fd);
    return nullptr;
  }
  if (stable) return std::make_unique<PosixSpoolFile>(fd, *this, guard, now);
  ::close(fd);
  return nullptr;
}

}  // namespace quillmark
