#pragma once
// The error log: the system's only lasting record of failures. One line per entry, appended to
// "Error.log" in the working directory, after a five-line header when the file is empty. Every entry is
// also written to standard error as one plain line: its context and message.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace quillmark {

class ErrorLog {
 public:
  ErrorLog(FileSystem& files, const Clock& clock, std::string path = "Error.log");

  // Appends one entry. Never fails towards the caller: an entry that cannot be written is dropped.
  // Safe to call from any thread; entries of concurrent callers and processes never interleave.
  void LogError(std::string_view context, std::string_view message, std::string_view sourceFile,
                std::int32_t code, std::int32_t severity) const;

 private:
  static void EchoToStandardError(std::string_view context, std::string_view message);

  FileSystem& files_;
  const Clock& clock_;
  std::string path_;
};

}  // namespace quillmark
