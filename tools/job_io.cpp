#include "job_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/paper.h"

namespace quillmark {
namespace {

// The temporary file's name, for the SIGTERM handler: a cancelled job leaves nothing behind.
char temporaryPath[4096];

void RemoveTemporaryAndExit(int) {
  if (temporaryPath[0] != '\0') ::unlink(temporaryPath);
  ::_exit(1);
}

bool CopyToStandardOutput(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char buffer[1 << 16];
  std::size_t got = 0;
  bool written = true;
  while (written && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    written = std::fwrite(buffer, 1, got, stdout) == got;
  }
  written = written && std::ferror(file) == 0 && std::fflush(stdout) == 0;
  std::fclose(file);
  return written;
}

}  // namespace

JobInput ReadJobInput(const std::string& path) {
  JobInput input;
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    input.problem = JobInput::Problem::kUnreadable;
    input.reason = std::strerror(errno);
    return input;
  }
  std::size_t capacity = 1 << 16;
  struct stat status {};
  if (::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode)) {
    if (static_cast<std::uint64_t>(status.st_size) > kLargestJob) {
      if (file != stdin) std::fclose(file);
      input.problem = JobInput::Problem::kTooLarge;
      return input;
    }
    // One byte more than the file, so that its end is seen without growing the buffer.
    capacity = static_cast<std::size_t>(status.st_size) + 1;
  }
  input.data = SpoolData(new std::uint8_t[capacity]);
  for (;;) {
    if (input.size > kLargestJob) break;
    if (input.size == capacity) {
      // One byte past the limit is enough to know the job is too large.
      const std::size_t larger = std::min(capacity * 2, kLargestJob + 1);
      SpoolData grown(new std::uint8_t[larger]);
      std::memcpy(grown.get(), input.data.get(), input.size);
      input.data = std::move(grown);
      capacity = larger;
    }
    const std::size_t got = std::fread(input.data.get() + input.size, 1, capacity - input.size, file);
    input.size += got;
    // A terminal's Ctrl-D ends the input at once, not only on a second one.
    if (got == 0 || std::feof(file) != 0 || std::ferror(file) != 0) break;
  }
  if (std::ferror(file) != 0) {
    input.problem = JobInput::Problem::kUnreadable;
    input.reason = std::strerror(errno);
  } else if (input.size == 0) {
    input.problem = JobInput::Problem::kEmpty;
  } else if (input.size > kLargestJob) {
    input.problem = JobInput::Problem::kTooLarge;
  }
  if (file != stdin) std::fclose(file);
  if (input.problem != JobInput::Problem::kNone) input.data.reset();
  return input;
}

PipeOutcome WriteToStandardOutput(const std::string& program,
                                  const std::function<bool(const std::string&)>& write) {
  const char* folder = std::getenv("TMPDIR");
  const std::string pattern =
      std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + program + "-XXXXXX";
  if (pattern.size() >= sizeof temporaryPath) return {false, "the temporary folder's name is too long"};
  std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
  std::signal(SIGTERM, RemoveTemporaryAndExit);
  const int descriptor = ::mkstemp(temporaryPath);
  if (descriptor < 0) {
    const std::string why = std::string("cannot make a temporary file: ") + std::strerror(errno);
    temporaryPath[0] = '\0';
    return {false, why};
  }
  ::close(descriptor);
  PipeOutcome outcome;
  outcome.written = write(temporaryPath);
  if (outcome.written && !CopyToStandardOutput(temporaryPath)) {
    outcome.written = false;
    outcome.why = std::string("cannot write standard output: ") + std::strerror(errno);
  }
  ::unlink(temporaryPath);
  temporaryPath[0] = '\0';
  return outcome;
}

}  // namespace quillmark
