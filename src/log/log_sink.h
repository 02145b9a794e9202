#pragma once
// Where the error log's entries go: the Error.log file of the working folder and, for people, standard
// error. The core formats the entries; a sink only stores and shows them. Any thread may call.

#include <string>
#include <string_view>

namespace quillmark {

class LogSink {
 public:
  virtual ~LogSink() = default;

  // Appends `entry` to the log file under an exclusive lock against every other writer (threads and
  // processes), after `headerIfEmpty` when the file is empty, so that entries never interleave and exactly
  // one writer writes the header. Returns "" when the entry is in the file, else the system's reason
  // ("Permission denied"). A sink that keeps no file returns "".
  virtual std::string Append(std::string_view headerIfEmpty, std::string_view entry) = 0;

  // Shows one line to people, `text` without its line end; standard error unless a sink says otherwise.
  // Lines of concurrent callers stay whole.
  virtual void Show(std::string_view text);
};

// Keeps no file: the entries reach standard error only. For the command-line tools, which have no
// Error.log of their own.
class StandardErrorSink : public LogSink {
 public:
  std::string Append(std::string_view headerIfEmpty, std::string_view entry) override;
};

}  // namespace quillmark
