#include "support/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace quillmark::testing {

TempDir::TempDir() {
  std::string pattern = "/tmp/quillmark-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string BuiltProgram(const std::string& name) { return std::string(QUILLMARK_BINARY_DIR) + "/" + name; }

RunningProgram::RunningProgram(const std::vector<std::string>& argv, const std::string& workDir,
                               const EnvChanges& env, const std::string* input) {
  static int counter = 0;
  const std::string stem = "/tmp/quillmark-child-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  outPath_ = stem + ".out";
  errPath_ = stem + ".err";
  std::string inPath = "/dev/null";
  if (input != nullptr) {
    inPath = stem + ".in";
    WriteFileBytes(inPath, *input);
  }
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::setpgid(0, 0);
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    for (const std::string& change : env) {
      const auto eq = change.find('=');
      if (eq == std::string::npos) {
        ::unsetenv(change.c_str());
      } else {
        ::setenv(change.substr(0, eq).c_str(), change.substr(eq + 1).c_str(), 1);
      }
    }
    const int in = ::open(inPath.c_str(), O_RDONLY);
    const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::chdir(workDir.c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (input != nullptr) inPath_ = inPath;
}

RunningProgram::~RunningProgram() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::unlink(outPath_.c_str());
  ::unlink(errPath_.c_str());
  if (!inPath_.empty()) ::unlink(inPath_.c_str());
}

void RunningProgram::Signal(int signal) const { ::kill(pid_, signal); }

bool RunningProgram::Running() {
  if (reaped_) return false;
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  reaped_ = true;
  if (WIFEXITED(status)) result_.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
  return false;
}

ProgramResult RunningProgram::Wait(std::chrono::milliseconds timeout) {
  if (!WaitUntil([this] { return !Running(); }, timeout)) {
    result_.timedOut = true;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    result_.signal = SIGKILL;
  }
  result_.out = ReadFileBytes(outPath_);
  result_.err = ReadFileBytes(errPath_);
  return result_;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& workDir,
                         std::chrono::milliseconds timeout, const EnvChanges& env, const std::string* input) {
  RunningProgram program(argv, workDir, env, input);
  return program.Wait(timeout);
}

}  // namespace quillmark::testing
