#include "platform/posix/posix_instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

namespace quillmark {

PosixInstanceLock::PosixInstanceLock() {
  UniqueFd folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return;
  int result = 0;
  while ((result = ::flock(folder.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  // A file system without locks cannot tell; the program then runs as before.
  if (result == 0 || errno == ENOLCK || errno == EOPNOTSUPP) folder_ = std::move(folder);
}

}  // namespace quillmark
