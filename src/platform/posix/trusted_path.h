#pragma once
// Which links the program follows. A working folder that others may write to can hold links they planted:
// followed by a program running as root, such a link would let them choose which file it reads, writes or
// removes. So a symbolic link on the way is followed only when it belongs to this process's user (a user
// may link the PDF folder to their documents) or to root (the system's own links); any other is refused.
// Header-only, so that the PDF writer and the file system share it without a library between them.

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_error.h"

namespace quillmark {

inline bool TrustedOwner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

// Done when every existing component of `path` that is a symbolic link belongs to a trusted owner; else
// failed on the first one that does not. Components that do not exist yet are no link.
inline FileStatus CheckLinks(const std::string& path) {
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    struct stat info {};
    if (!part.empty() && part != "." && ::lstat(part.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        !TrustedOwner(info.st_uid)) {
      return FileStatus::Failed(
          part, "symbolic link of another user (uid " + std::to_string(info.st_uid) + "), not followed");
    }
    if (end == std::string::npos || end + 1 >= path.size()) break;
  }
  return FileStatus::Done();
}

// For a folder in which the program keeps job data: CheckLinks, and the folder itself, where it exists,
// belongs to a trusted owner, so that nobody else can have put files or links into it.
inline FileStatus CheckOwnFolder(const std::string& folder) {
  if (FileStatus links = CheckLinks(folder); !links.ok()) return links;
  struct stat info {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &info) == 0 && !TrustedOwner(info.st_uid)) {
    return FileStatus::Failed(folder, "folder of another user (uid " + std::to_string(info.st_uid) + ")");
  }
  return FileStatus::Done();
}

}  // namespace quillmark
