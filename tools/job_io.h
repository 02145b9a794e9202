#pragma once
// What both command-line tools do around the emulation: open a job from a file or standard input within the
// job limit, and hand a finished file on to standard output through a private temporary file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/take_file.h"

namespace quillmark {

struct JobInput {
  enum class Problem { kNone, kUnreadable, kEmpty, kTooLarge };
  std::unique_ptr<TakeFile> take;  // the job's file, mapped at `data`
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  Problem problem = Problem::kNone;
  std::string reason;  // the system's reason when unreadable ("No such file or directory")
};

// Opens `path` ("-": standard input) as a take, read through a mapping as it prints. Anything but a regular
// file (standard input, a pipe) is first copied a block at a time into a file in $TMPDIR (or /tmp) that has
// no name from the start, so nothing is left behind however the process ends; copying stops as soon as the
// job passes kLargestJob.
JobInput ReadJobInput(const std::string& path);

// Makes a private file in $TMPDIR (or /tmp) named after `program`, lets `write` fill it, copies it to
// standard output and removes it, also when SIGTERM ends the process meanwhile. Empty when all went well;
// otherwise why not (an empty `why` is left to the caller when `write` itself said false).
struct PipeOutcome {
  bool written = false;
  std::string why;
};
PipeOutcome WriteToStandardOutput(const std::string& program,
                                  const std::function<bool(const std::string&)>& write);

}  // namespace quillmark
