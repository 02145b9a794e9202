#include "platform/pdf/pdf_file_output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/posix/posix_error.h"
#include "platform/posix/trusted_path.h"

namespace quillmark::pdf {
namespace {

constexpr std::size_t kBufferSize = 1 << 18;
// Hidden and without the .pdf ending, so nobody takes it for a finished document.
constexpr std::string_view kTemporaryPrefix = ".quillmark-";
constexpr std::string_view kTemporarySuffix = ".part";

// The title as a file name: letters and digits kept, everything else a dash.
std::string FileStem(std::string_view title) {
  std::string stem;
  for (const char c : title) {
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    stem += keep ? c : '-';
  }
  return stem.empty() ? "Document" : stem;
}

// Gives `from` the name `to` unless a file of that name exists. False with errno EEXIST when one does.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without that flag: a hard link is never made over an existing name either.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

// A new name is on the disk only once its folder is: else a power cut can bring the document back under
// its temporary name, which the next start removes.
FileStatus SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const FileStatus status = fd >= 0 && ::fsync(fd) == 0 ? FileStatus::Done() : ErrnoStatus(folder);
  if (fd >= 0) ::close(fd);
  return status;
}

}  // namespace

TemporaryPdf::~TemporaryPdf() { Discard(); }

bool TemporaryPdf::Open(const std::string& folder, bool makeFolder) {
  Discard();
  failure_ = CheckLinks(folder);
  if (!failure_.ok()) return false;
  std::error_code error;
  if (makeFolder) std::filesystem::create_directories(folder, error);
  std::string pattern = (folder.empty() ? std::string(".") : folder) + '/' + std::string(kTemporaryPrefix) +
                        "XXXXXX" + std::string(kTemporarySuffix);
  for (int attempt = 0; attempt < 3 && fd_ < 0; ++attempt) {
    std::string name = pattern;
    fd_ = ::mkostemps(name.data(), static_cast<int>(kTemporarySuffix.size()), O_CLOEXEC);
    if (fd_ < 0) {
      failure_ = ErrnoStatus(folder.empty() ? std::string(".") : folder);
      return false;
    }
    // Another start may be removing it in the moment before it was locked: then take a new one. Where
    // the file system has no locks the file is written unlocked.
    const bool taken = ::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    struct stat status {};
    if (taken || ::fstat(fd_, &status) != 0 || status.st_nlink == 0) {
      ::close(fd_);
      fd_ = -1;
      continue;
    }
    path_ = name;
  }
  if (fd_ < 0) {
    failure_ = FileStatus::Failed(folder, "no temporary name could be taken");
    return false;
  }
  // Temporary files start private; a finished document is as readable as any file the user saves.
  ::fchmod(fd_, 0644);
  failed_ = false;
  buffer_.reserve(kBufferSize);
  return true;
}

bool TemporaryPdf::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0) return false;
  if (buffer_.size() + bytes.size() > kBufferSize && !Drain()) return false;
  if (bytes.size() >= kBufferSize) {
    buffer_.assign(bytes);
    return Drain();
  }
  buffer_.append(bytes);
  return true;
}

bool TemporaryPdf::Drain() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      failure_ = written < 0 ? ErrnoStatus(path_) : FileStatus::Failed(path_, "nothing written");
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  buffer_.clear();
  return !failed_;
}

bool TemporaryPdf::Close() {
  if (fd_ < 0) return false;
  // On disk before it gets its final name: the spool data it came from is gone once it counts as printed.
  bool ok = !failed_ && Drain();
  if (ok && ::fsync(fd_) != 0) {
    failure_ = ErrnoStatus(path_);
    ok = false;
  }
  if (!ok) Discard();
  return ok;
}

void TemporaryPdf::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
}

void TemporaryPdf::RemoveAbandoned(const std::string& folder) {
  // Never in a folder another user linked here: the files there are not ours to remove.
  if (!CheckLinks(folder).ok()) return;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) continue;
    const std::string path = entry.path().string();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat status {};
    // Only regular files: a FIFO or device of that name is nobody's document.
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
}

void TemporaryPdf::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  buffer_.shrink_to_fit();
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

PdfFileOutput::PdfFileOutput(std::string folder, std::string exactPath)
    : folder_(std::move(folder)), exactPath_(std::move(exactPath)) {}

std::unique_ptr<PdfFileOutput> PdfFileOutput::InFolder(const std::string& folder) {
  return std::unique_ptr<PdfFileOutput>(new PdfFileOutput(folder.empty() ? "." : folder, {}));
}

std::unique_ptr<PdfFileOutput> PdfFileOutput::ToFile(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return std::unique_ptr<PdfFileOutput>(new PdfFileOutput(folder.empty() ? "." : folder, path));
}

ByteSink* PdfFileOutput::Begin(std::string_view title) {
  title_ = title;
  // An exact path names a file, not a place to create: its folder must exist.
  return file_.Open(folder_, exactPath_.empty()) ? &file_ : nullptr;
}

bool PdfFileOutput::Finish(bool complete) {
  if (!complete) {
    file_.Discard();
    return false;
  }
  if (!file_.Close()) return false;
  if (!exactPath_.empty()) {
    if (::rename(file_.Path().c_str(), exactPath_.c_str()) != 0) {
      file_.Fail(ErrnoStatus(exactPath_));
      file_.Discard();
      return false;
    }
    file_.Release();
    return true;
  }
  // Delivered means on the disk under its name: the take it came from is removed next.
  if (!MoveToNewName()) return false;
  if (const FileStatus synced = SyncFolder(folder_); !synced.ok()) {
    file_.Fail(synced);
    return false;
  }
  return true;
}

bool PdfFileOutput::MoveToNewName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string prefix = FileStem(title_) + '-' + stamp + '-';
  // Continue after the highest counter of this second, so a later file never sorts before an earlier one.
  int counter = 1;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(".pdf")) continue;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
      continue;
    counter = std::max(counter, std::stoi(digits) + 1);
  }
  for (int attempt = 0; attempt < 1000; ++attempt, ++counter) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", counter);
    const std::string target = folder_ + "/" + prefix + number + ".pdf";
    // Another writer may have just taken this name; never replace it.
    if (RenameNoReplace(file_.Path(), target)) {
      file_.Release();
      return true;
    }
    if (errno != EEXIST) break;
  }
  file_.Fail(ErrnoStatus(folder_));
  file_.Discard();
  return false;
}

}  // namespace quillmark::pdf
