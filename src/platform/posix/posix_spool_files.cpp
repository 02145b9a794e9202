#include "platform/posix/posix_spool_files.h"

#include <signal.h>
#include <sys/stat.h>

namespace quillmark {

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

std::unique_ptr<SpoolFile> PosixSpoolFiles::Open(const std::string& path, SpoolNotice& notice) {
  notice = SpoolNotice::kNone;
  if (sharing_ == Sharing::Guarded) return guarded_.Open(path, UniqueFd(), notice);
  struct stat st {};
  UniqueFd fd = posix_spool::OpenSpoolPath(path, notice, st);
  if (!fd.valid()) return nullptr;
  std::unique_ptr<SpoolFile> file;
  switch (leased_.Take(fd, file)) {
    case posix_spool::LeasedSpoolFiles::Outcome::kTaken:
      return file;
    case posix_spool::LeasedSpoolFiles::Outcome::kInUse:
      notice = SpoolNotice::kInUse;
      return nullptr;
    case posix_spool::LeasedSpoolFiles::Outcome::kUnsupported:
      break;
  }
  // No leases here: guard it instead from now on.
  sharing_ = Sharing::Guarded;
  return guarded_.Open(path, std::move(fd), notice);
}

}  // namespace quillmark
