#pragma once
// The error log: the system's only lasting record of failures. One line per entry, appended by the sink
// to "Error.log" in the working directory, after a five-line header when the file is empty. Every entry is
// also shown as one plain line: its context and message. A log file that cannot be written is named once
// on that same channel with the system's reason, and again after it was written and then failed anew.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/mutex.h"
#include "log/log_sink.h"
#include "platform/clock.h"

namespace quillmark {

class ErrorLog {
 public:
  ErrorLog(LogSink& sink, const Clock& clock) : sink_(sink), clock_(clock) {}

  // Appends one entry. Never fails towards the caller: an entry that cannot be written is dropped.
  // Safe to call from any thread; entries of concurrent callers and processes never interleave.
  void LogError(std::string_view context, std::string_view message, std::string_view sourceFile,
                std::int32_t code, std::int32_t severity) const;

  // The common entry: a failure the program survives, without context, module or code.
  void Error(std::string_view message) const { LogError("", message, "", 0, 0); }

 private:
  void NoteAppend(const std::string& reason) const EXCLUDES(reasonLock_);

  LogSink& sink_;
  const Clock& clock_;
  mutable Mutex reasonLock_;
  mutable std::string shownReason_ GUARDED_BY(reasonLock_);  // the failure last shown, "" after a success
};

}  // namespace quillmark
