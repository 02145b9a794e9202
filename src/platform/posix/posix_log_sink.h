#pragma once

#include <string>

#include "log/log_sink.h"

namespace quillmark {

// The error log file through POSIX calls, named relative to the working directory. Each entry opens the
// file, takes flock(LOCK_EX) so that processes appending the same way never interleave, and closes it. A new
// file is created exclusively. A symbolic link under the name is followed only when it belongs to the
// program's own user; a link of another user, a file with a second hard link, or anything but a regular
// file is refused and never written. A file without any write permission bit counts as read-only even for
// root, the way a read-only attribute binds every user.
class PosixLogSink final : public LogSink {
 public:
  explicit PosixLogSink(std::string path = "Error.log") : path_(std::move(path)) {}

  std::string Append(std::string_view headerIfEmpty, std::string_view entry) override;

 private:
  std::string path_;
};

}  // namespace quillmark
