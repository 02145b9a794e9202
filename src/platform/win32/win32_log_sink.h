#pragma once

#include <string>

#include "log/log_sink.h"

namespace quillmark {

// The error log file through the Win32 file calls, named relative to the working directory (converted by
// WideFromSettings). Each entry locks the whole file (LockFileEx) so that two instances never interleave
// entries. A new file is created exclusively; a symbolic link or junction under the name is followed only
// when it belongs to the program's own user.
class Win32LogSink final : public LogSink {
 public:
  explicit Win32LogSink(std::string path = "Error.log") : path_(std::move(path)) {}

  std::string Append(std::string_view headerIfEmpty, std::string_view entry) override;

 private:
  std::string path_;
};

}  // namespace quillmark
