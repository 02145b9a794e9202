#pragma once
// What both command-line tools do around the emulation: read a whole job from a file or standard input
// within the job limit, and hand a finished file on to standard output through a private temporary file.

#include <cstddef>
#include <functional>
#include <string>

#include "spool/job_records.h"

namespace quillmark {

struct JobInput {
  enum class Problem { kNone, kUnreadable, kEmpty, kTooLarge };
  SpoolData data;
  std::size_t size = 0;
  Problem problem = Problem::kNone;
  std::string reason;  // the system's reason when unreadable ("No such file or directory")
};

// Reads all of `path` ("-": standard input). A regular file is read into a buffer of its size, so a large
// job is held once; reading stops as soon as the job passes kLargestJob.
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
