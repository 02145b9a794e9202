#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace quillmark {
namespace {

// Closes a descriptor when leaving scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// O_NONBLOCK keeps a FIFO or device under the name from blocking the open; only regular files go on.
int OpenRegular(const std::string& path, int flags, mode_t mode = 0) {
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (end == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new directory entry is on the disk only once its folder has been flushed too.
bool SyncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.valid() && ::fsync(dir.get()) == 0;
}

// Writes, flushes and closes a file made with O_EXCL; removes it again when any step fails.
bool FillNewFile(int fd, const std::string& path, const std::uint8_t* data, std::size_t size) {
  const bool written = WriteAll(fd, reinterpret_cast<const char*>(data), size) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed && SyncFolder(FolderOf(path))) return true;
  ::unlink(path.c_str());
  return false;
}

std::string TimeName(const LocalTime& t, unsigned number) {
  char name[64];
  std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d-%03u.prn", t.year, t.month, t.day, t.hour,
                t.minute, t.second, number);
  return name;
}

}  // namespace

bool PosixFileSystem::ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  FileDescriptor file(OpenRegular(path, O_RDONLY));
  if (!file.valid()) return false;
  // Read to the end rather than trusting the size: the file may grow or shrink while it is read.
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      return false;
    }
    contents.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string PosixFileSystem::SaveNewFile(const std::string& folder, const std::uint8_t* data,
                                         std::size_t size) {
  if (!MakeFolders(folder)) return "";
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::string path = prefix + TimeName(now, number);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return "";
    }
    return FillNewFile(fd, path, data, size) ? path : "";
  }
  return "";
}

bool PosixFileSystem::WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  if (!MakeFolders(FolderOf(path))) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, reinterpret_cast<const char*>(data), size);
  if (::close(fd) == 0 && written) return true;
  ::unlink(path.c_str());
  return false;
}

bool PosixFileSystem::FlushToDisk(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return file.valid() && ::fsync(file.get()) == 0 && SyncFolder(FolderOf(path));
}

std::string PosixFileSystem::MoveToNewFile(const std::string& path, const std::string& folder) {
  if (!MakeFolders(folder)) return "";
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::string target = prefix + TimeName(now, number);
    // Never replaces a file that another writer has just given this name.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) continue;
      return "";
    }
    SyncFolder(FolderOf(target));
    SyncFolder(FolderOf(path));
    return target;
  }
  return "";
}

bool PosixFileSystem::Rename(const std::string& path, const std::string& target) {
  return ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0 &&
         SyncFolder(FolderOf(target));
}

bool PosixFileSystem::RemoveDurably(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  return SyncFolder(FolderOf(path));
}

std::vector<std::string> PosixFileSystem::ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillmark
