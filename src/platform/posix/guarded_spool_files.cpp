#include "platform/posix/guarded_spool_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

namespace quillmark::posix_spool {
namespace {

Stamp StampOf(const struct stat& st) {
  return Stamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
               static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
               static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

// Closes a directory stream when leaving scope.
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool HoldsFile(const std::string& fdFolder, const Stamp& file) {
  const Dir fds(::opendir(fdFolder.c_str()));
  if (fds == nullptr) return false;
  while (const dirent* fd = ::readdir(fds.get())) {
    struct stat st {};
    if (fd->d_name[0] != '.' && ::fstatat(::dirfd(fds.get()), fd->d_name, &st, 0) == 0 &&
        static_cast<std::uint64_t>(st.st_dev) == file.device &&
        static_cast<std::uint64_t>(st.st_ino) == file.inode) {
      return true;
    }
  }
  return false;
}

// Whether a process other than this one has a descriptor of the file. Processes whose descriptors this
// user may not see are missed; the inotify counts cover them once the watch exists.
bool OpenedElsewhere(const Stamp& file) {
  const Dir proc(::opendir("/proc"));
  if (proc == nullptr) return false;
  const std::string self = std::to_string(::getpid());
  while (const dirent* process = ::readdir(proc.get())) {
    const std::string_view pid = process->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        pid == self) {
      continue;
    }
    if (HoldsFile("/proc/" + std::string(pid) + "/fd", file)) return true;
  }
  return false;
}

class GuardedSpoolFile final : public SpoolFileBase {
 public:
  GuardedSpoolFile(UniqueFd fd, GuardedSpoolFiles& owner, Guard& guard, const Stamp& opened)
      : SpoolFileBase(std::move(fd)), owner_(owner), guard_(guard), opened_(opened) {}

 private:
  FileStatus MayEmpty() override {
    // A change since Open() means a writer came and went. The slow scan first, so that the last look
    // comes right before the cut.
    if (OpenedElsewhere(opened_)) return FileStatus::Failed({}, "opened by another program");
    owner_.CountOpeners();
    if (guard_.openers > 0) return FileStatus::Failed({}, "opened by another program");
    struct stat st {};
    if (::fstat(fd(), &st) != 0 || !(StampOf(st) == opened_)) {
      return FileStatus::Failed({}, "changed since it was read");
    }
    return FileStatus::Done();
  }
  void Emptied() override {
    struct stat st {};
    if (::fstat(fd(), &st) == 0) guard_.lastSeen = StampOf(st);
  }

  GuardedSpoolFiles& owner_;
  Guard& guard_;
  Stamp opened_;
};

}  // namespace

void GuardedSpoolFiles::CountOpeners() {
  if (!inotify_.valid()) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(inotify_.get(), buffer, sizeof buffer);
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

std::unique_ptr<SpoolFile> GuardedSpoolFiles::Open(const std::string& path, UniqueFd opened,
                                                   SpoolNotice& notice) {
  Guard& guard = guards_[path];
  if (!inotify_.valid()) inotify_.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  CountOpeners();
  // Two closes at the same moment can still fold into one event, and the count would stay up for good.
  // A close as the last thing seen and a whole pass without events end that.
  if (guard.lastClosed && !guard.stirred) guard.openers = 0;
  guard.stirred = false;

  struct stat st {};
  UniqueFd fd = std::move(opened);
  if (!fd.valid()) {
    // The guard's own descriptor is copied when the path still names its file, which the watch does not see.
    const bool held = guard.fd.valid() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                      st.st_ino == guard.lastSeen.inode && st.st_dev == guard.lastSeen.device;
    fd = held ? UniqueFd(::fcntl(guard.fd.get(), F_DUPFD_CLOEXEC, 0)) : OpenSpoolPath(path, notice, st);
    if (!fd.valid() || !Takeable(fd.get(), notice, st)) return nullptr;
  } else if (!Takeable(fd.get(), notice, st)) {
    return nullptr;
  }
  const Stamp now = StampOf(st);

  const bool fresh = !guard.seen;
  guard.seen = true;
  if (guard.watch >= 0 && guard.lastSeen.inode != now.inode) {
    ::inotify_rm_watch(inotify_.get(), guard.watch);
    guard.watch = -1;
  }
  if (guard.watch < 0 && inotify_.valid()) {
    // New, or the file at the path was replaced: count from here, and let the stamp say it is unstable.
    // Our descriptor stays open from before the watch on, so that our passes add no opens or closes.
    guard.fd.Reset(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    guard.watch = ::inotify_add_watch(inotify_.get(), path.c_str(), IN_OPEN | IN_CLOSE | IN_DONT_FOLLOW);
    guard.openers = 0;
    // The kernel folds an event into an identical one still unread before it (two writers' closes), and
    // the count would stay up for good. Watched, the folder gets its own event next to each of the
    // file's, so that two of the file's are adjacent only when they come at the very same moment.
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
    ::inotify_add_watch(inotify_.get(), folder.c_str(), IN_OPEN | IN_CLOSE);
  }
  notice = SpoolNotice::kGuardedWithoutLease;
  // Taken only once it stood still for a pass. The stamp of an empty file too, else the inode looks new
  // every pass and the watch, with the count of a writer's open, is thrown away.
  const bool stable = !fresh && guard.lastSeen == now;
  guard.lastSeen = now;
  // An empty file is closed unchanged by the caller; nothing to guard.
  if (st.st_size == 0) return std::make_unique<GuardedSpoolFile>(std::move(fd), *this, guard, now);
  if (guard.openers > 0 || OpenedElsewhere(now)) {
    notice = SpoolNotice::kInUse;
    return nullptr;
  }
  if (stable) return std::make_unique<GuardedSpoolFile>(std::move(fd), *this, guard, now);
  return nullptr;
}

}  // namespace quillmark::posix_spool
