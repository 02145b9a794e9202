#pragma once
// One running program per working folder: an exclusive flock on the working folder itself, held for the
// process's life and released by the kernel when it ends, however it ends. Nothing is created for it.

#include "platform/posix/unique_fd.h"

namespace quillmark {

class PosixInstanceLock {
 public:
  // Takes the lock on the current working directory without waiting.
  PosixInstanceLock();
  // False when another process holds it: another instance runs in this folder.
  bool Held() const { return folder_.valid(); }

 private:
  UniqueFd folder_;
};

}  // namespace quillmark
