#include "job_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/posix_take_file.h"
#include "platform/posix/unique_fd.h"
#include "settings/paper.h"

namespace quillmark {
namespace {

// Standard input is copied a block at a time, never whole.
constexpr std::size_t kBlock = 1 << 20;

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

namespace {

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// Copies `from` into a new nameless temporary file, a block at a time; the descriptor of the copy, or an
// invalid one with the problem set.
UniqueFd SpoolToTemporary(int from, JobInput& input) {
  std::string pattern = TemporaryFolder() + "/quillmark-input-XXXXXX";
  UniqueFd copy(::mkstemp(pattern.data()));
  if (!copy.valid()) {
    input.problem = JobInput::Problem::kUnreadable;
    input.reason = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return copy;
  }
  ::unlink(pattern.c_str());
  std::unique_ptr<char[]> block(new char[kBlock]);
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t got = ::read(from, block.get(), kBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      input.problem = JobInput::Problem::kUnreadable;
      input.reason = std::strerror(errno);
      return UniqueFd();
    }
    // A terminal's Ctrl-D ends the input at once, not only on a second one.
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    if (total > kLargestJob) {
      input.problem = JobInput::Problem::kTooLarge;
      return UniqueFd();
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t written = ::write(copy.get(), block.get() + done, static_cast<std::size_t>(got - done));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) {
        input.problem = JobInput::Problem::kUnreadable;
        input.reason = std::string("cannot write a temporary file: ") + std::strerror(errno);
        return UniqueFd();
      }
      done += written;
    }
  }
  return copy;
}

}  // namespace

JobInput ReadJobInput(const std::string& path) {
  JobInput input;
  UniqueFd opened;
  if (path != "-") {
    opened.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!opened.valid()) {
      input.problem = JobInput::Problem::kUnreadable;
      input.reason = std::strerror(errno);
      return input;
    }
  }
  const int from = path == "-" ? STDIN_FILENO : opened.get();
  struct stat status {};
  UniqueFd file = ::fstat(from, &status) == 0 && S_ISREG(status.st_mode)
                      ? UniqueFd(::fcntl(from, F_DUPFD_CLOEXEC, 0))
                      : SpoolToTemporary(from, input);
  if (input.problem != JobInput::Problem::kNone) return input;
  if (!file.valid()) {
    input.problem = JobInput::Problem::kUnreadable;
    input.reason = std::strerror(errno);
    return input;
  }
  input.take = MakePosixTakeFile(std::move(file));
  const std::int64_t size = input.take->Size();
  if (size == 0) {
    input.problem = JobInput::Problem::kEmpty;
  } else if (size < 0 || static_cast<std::uint64_t>(size) > kLargestJob) {
    input.problem = size < 0 ? JobInput::Problem::kUnreadable : JobInput::Problem::kTooLarge;
    input.reason = std::strerror(errno);
  } else if ((input.data = input.take->Map(size)) == nullptr) {
    input.problem = JobInput::Problem::kUnreadable;
    input.reason = std::strerror(errno);
  }
  if (input.problem != JobInput::Problem::kNone) {
    input.take.reset();
    input.data = nullptr;
    return input;
  }
  input.size = static_cast<std::size_t>(size);
  return input;
}

PipeOutcome WriteToStandardOutput(const std::string& program,
                                  const std::function<bool(const std::string&)>& write) {
  const std::string pattern = TemporaryFolder() + "/" + program + "-XXXXXX";
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
