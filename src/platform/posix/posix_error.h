#pragma once
// errno turned into a FileStatus at the seam, the only place errno is read.

#include <errno.h>
#include <string.h>

#include <string>

#include "platform/file_status.h"

namespace quillmark {

// The system's words for `error` ("No space left on device").
inline std::string SystemReason(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, in `buffer` or a static string.
  return ::strerror_r(error, buffer, sizeof buffer);
}

// A failure on `path` for the current errno.
inline FileStatus ErrnoStatus(std::string path, int error = errno) {
  return FileStatus::Failed(std::move(path), SystemReason(error));
}

}  // namespace quillmark
