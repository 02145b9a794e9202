#pragma once
// Helpers for end-to-end tests: temporary working directories, files, and the real executables run as
// child processes with captured output.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillmark::testing {

// A fresh directory under /tmp, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);  // empty when missing
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Path of an executable built by this project (quillmark, quillmark-render).
std::string BuiltProgram(const std::string& name);

struct ProgramResult {
  int exitCode = -1;     // -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if any
  bool timedOut = false; // killed after the time-out
  std::string out;
  std::string err;
};

// Environment changes: "NAME=value" sets, "NAME" alone unsets. QT_QPA_PLATFORM, DISPLAY and
// WAYLAND_DISPLAY are unset by default so a run is headless unless the test sets them.
using EnvChanges = std::vector<std::string>;

// A child process in `workDir` with stdin from /dev/null (or `input` when given) and captured output.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& argv, const std::string& workDir, const EnvChanges& env = {},
                 const std::string* input = nullptr);
  ~RunningProgram();  // kills a child that is still running
  void Signal(int signal) const;
  bool Running();
  // Waits up to `timeout`; kills the child after it. Output is read once the child has ended.
  ProgramResult Wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  std::string outPath_;
  std::string errPath_;
  std::string inPath_;
  bool reaped_ = false;
  ProgramResult result_;
};

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& workDir,
                         std::chrono::milliseconds timeout, const EnvChanges& env = {},
                         const std::string* input = nullptr);

// Polls `condition` every 20 ms until it holds or `timeout` passes; returns its last value.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout);

}  // namespace quillmark::testing

#include <thread>

template <typename Condition>
bool quillmark::testing::WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
