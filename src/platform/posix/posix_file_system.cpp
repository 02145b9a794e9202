#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/posix/change_stamp.h"
#include "platform/posix/posix_error.h"
#include "platform/posix/posix_take_file.h"
#include "platform/posix/trusted_path.h"
#include "platform/posix/unique_fd.h"

namespace quillmark {
namespace {

// Kept job data is the user's printout: readable by its owner only.
constexpr mode_t kKeptMode = 0600;
// Takes are copied a block at a time, never whole.
constexpr std::size_t kCopyBlock = 1 << 20;

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

// Every missing folder of `folder`; done when it is a folder afterwards.
FileStatus MakeFolders(const std::string& folder) {
  if (folder.empty()) return FileStatus::Done();
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return ErrnoStatus(part);
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return ErrnoStatus(folder);
  return S_ISDIR(info.st_mode) ? FileStatus::Done() : ErrnoStatus(folder, ENOTDIR);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new directory entry is on the disk only once its folder has been flushed too.
FileStatus SyncFolder(const std::string& folder) {
  const std::string name = folder.empty() ? "." : folder;
  UniqueFd dir(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid() || ::fsync(dir.get()) != 0) return ErrnoStatus(name);
  return FileStatus::Done();
}

// Writes `size` bytes through `fd`, made with O_EXCL, flushes it when `flush`, and closes it; removes the
// file again when any step fails.
FileStatus FillNewFile(int fd, const std::string& path, const std::uint8_t* data, std::size_t size,
                       bool flush) {
  FileStatus status = FileStatus::Done(path);
  if (!WriteAll(fd, reinterpret_cast<const char*>(data), size) || (flush && ::fsync(fd) != 0)) {
    status = ErrnoStatus(path);
  }
  if (::close(fd) != 0 && status.ok()) status = ErrnoStatus(path);
  if (status.ok() && flush) {
    const FileStatus folder = SyncFolder(FolderOf(path));
    if (!folder.ok()) status = folder;
  }
  if (!status.ok()) ::unlink(path.c_str());
  return status;
}

std::string TimeName(const LocalTime& t, unsigned number) {
  char name[64];
  std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d-%03u.prn", t.year, t.month, t.day, t.hour,
                t.minute, t.second, number);
  return name;
}

}  // namespace

FileStatus PosixFileSystem::ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  if (FileStatus links = CheckLinks(path); !links.ok()) return links;
  UniqueFd file(OpenRegular(path, O_RDONLY));
  if (!file.valid()) return ErrnoStatus(path);
  // Read to the end rather than trusting the size: the file may grow or shrink while it is read.
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got == 0) return FileStatus::Done();
    if (got < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      return ErrnoStatus(path);
    }
    contents.append(buffer, static_cast<std::size_t>(got));
  }
}

FileStatus PosixFileSystem::SaveNewFile(const std::string& folder, const std::uint8_t* data,
                                        std::size_t size) {
  if (FileStatus own = CheckOwnFolder(folder); !own.ok()) return own;
  if (FileStatus made = MakeFolders(folder); !made.ok()) return made;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::string path = prefix + TimeName(now, number);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kKeptMode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return ErrnoStatus(path);
    }
    return FillNewFile(fd, path, data, size, true);
  }
  return ErrnoStatus(prefix, EEXIST);
}

FileStatus PosixFileSystem::WriteNewFile(const std::string& path, const std::uint8_t* data,
                                         std::size_t size) {
  if (FileStatus own = CheckOwnFolder(FolderOf(path)); !own.ok()) return own;
  if (FileStatus made = MakeFolders(FolderOf(path)); !made.ok()) return made;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kKeptMode);
  if (fd < 0) return ErrnoStatus(path);
  return FillNewFile(fd, path, data, size, false);
}

FileStatus PosixFileSystem::CopyNewFile(const std::string& path, std::uint64_t size,
                                        const BlockSource& source) {
  if (FileStatus own = CheckOwnFolder(FolderOf(path)); !own.ok()) return own;
  if (FileStatus made = MakeFolders(FolderOf(path)); !made.ok()) return made;
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kKeptMode));
  if (!fd.valid()) return ErrnoStatus(path);
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kCopyBlock]);
  FileStatus status = FileStatus::Done(path);
  for (std::uint64_t offset = 0; offset < size && status.ok();) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, size - offset));
    if (!source(block.get(), length, offset)) {
      status = FileStatus::Failed(path, "its source cannot be read");
    } else if (!WriteAll(fd.get(), reinterpret_cast<const char*>(block.get()), length)) {
      status = ErrnoStatus(path);
    }
    offset += length;
  }
  if (::close(fd.Release()) != 0 && status.ok()) status = ErrnoStatus(path);
  if (!status.ok()) ::unlink(path.c_str());
  return status;
}

FileStatus PosixFileSystem::OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) {
  if (FileStatus links = CheckLinks(path); !links.ok()) return links;
  UniqueFd file(OpenRegular(path, O_RDONLY));
  if (!file.valid()) return ErrnoStatus(path);
  take = MakePosixTakeFile(std::move(file));
  return FileStatus::Done(path);
}

FileStatus PosixFileSystem::FlushToDisk(const std::string& path) {
  if (FileStatus links = CheckLinks(FolderOf(path)); !links.ok()) return links;
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file.valid() || ::fsync(file.get()) != 0) return ErrnoStatus(path);
  return SyncFolder(FolderOf(path));
}

FileStatus PosixFileSystem::MoveToNewFile(const std::string& path, const std::string& folder) {
  if (FileStatus links = CheckLinks(FolderOf(path)); !links.ok()) return links;
  if (FileStatus own = CheckOwnFolder(folder); !own.ok()) return own;
  if (FileStatus made = MakeFolders(folder); !made.ok()) return made;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::string target = prefix + TimeName(now, number);
    // Never replaces a file that another writer has just given this name.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) continue;
      return ErrnoStatus(path);
    }
    // Moved either way; a folder that could not be flushed only weakens what a power cut leaves.
    static_cast<void>(SyncFolder(FolderOf(target)));
    static_cast<void>(SyncFolder(FolderOf(path)));
    return FileStatus::Done(target);
  }
  return ErrnoStatus(prefix, EEXIST);
}

FileStatus PosixFileSystem::Rename(const std::string& path, const std::string& target) {
  if (FileStatus links = CheckLinks(FolderOf(path)); !links.ok()) return links;
  if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    return ErrnoStatus(path);
  }
  return SyncFolder(FolderOf(target));
}

FileStatus PosixFileSystem::RenameUnflushed(const std::string& path, const std::string& target) {
  if (FileStatus links = CheckLinks(FolderOf(path)); !links.ok()) return links;
  if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    return ErrnoStatus(path);
  }
  return FileStatus::Done();
}

FileStatus PosixFileSystem::RemoveDurably(const std::string& path) {
  if (FileStatus links = CheckLinks(FolderOf(path)); !links.ok()) return links;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return ErrnoStatus(path);
  return SyncFolder(FolderOf(path));
}

FileStatus PosixFileSystem::ChangeStamp(const std::string& path, std::string& stamp) {
  stamp.clear();
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return ErrnoStatus(path);
  stamp = ChangeStampOf(info);
  return FileStatus::Done();
}

FileStatus PosixFileSystem::Continues(const std::string& path, const std::string& earlier, bool& continues) {
  continues = false;
  UniqueFd longer(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!longer.valid()) return ErrnoStatus(path);
  UniqueFd shorter(::open(earlier.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!shorter.valid()) return ErrnoStatus(earlier);
  struct stat longInfo {}, shortInfo {};
  if (::fstat(longer.get(), &longInfo) != 0) return ErrnoStatus(path);
  if (::fstat(shorter.get(), &shortInfo) != 0) return ErrnoStatus(earlier);
  if (!S_ISREG(longInfo.st_mode) || !S_ISREG(shortInfo.st_mode) || longInfo.st_size <= shortInfo.st_size) {
    return FileStatus::Done();
  }
  constexpr std::size_t kBlock = 64 * 1024;
  std::string a(kBlock, '\0'), b(kBlock, '\0');
  for (off_t at = 0; at < shortInfo.st_size;) {
    const auto want = static_cast<std::size_t>(std::min<off_t>(kBlock, shortInfo.st_size - at));
    const ssize_t gotA = ::pread(longer.get(), a.data(), want, at);
    if (gotA < 0) return ErrnoStatus(path);
    const ssize_t gotB = ::pread(shorter.get(), b.data(), want, at);
    if (gotB < 0) return ErrnoStatus(earlier);
    const auto got = static_cast<std::size_t>(gotA);
    if (gotA == 0 || gotA != gotB || a.compare(0, got, b, 0, got) != 0) return FileStatus::Done();
    at += gotA;
  }
  continues = true;
  return FileStatus::Done();
}

FileStatus PosixFileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  if (FileStatus own = CheckOwnFolder(folder); !own.ok()) return own;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return errno == ENOENT ? FileStatus::Done() : ErrnoStatus(folder);
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return FileStatus::Done();
}

}  // namespace quillmark
