#include "platform/posix/posix_spool_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Runs `body` in a forked child that exits with its result.
pid_t Fork(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

// The child's wait status, or -1 when it did not end within `timeout`.
int WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  return status;
}

bool ExitedWith(int status, int code) {
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

std::string ReadAll(SpoolFile& file) {
  std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
  const std::int64_t got =
      file.Read(reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<std::int64_t>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  return bytes;
}

class PosixSpoolFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The lease tests need a file system that grants leases.
    const int fd = ::open(dir_.File("probe").c_str(), O_RDWR | O_CREAT, 0600);
    leases_ = fd >= 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    if (fd >= 0) ::close(fd);
  }

  TempDir dir_;
  std::string spool_ = dir_.File("LPT1.PRN");
  bool leases_ = false;
};

TEST_F(PosixSpoolFilesTest, OpenCreatesAMissingFileAndRefusesWhatIsNoSpoolFile) {
  ASSERT_EQ(::mkdir(dir_.File("folder").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  PosixSpoolFiles files;
  auto created = files.Open(spool_);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Size(), 0);
  EXPECT_TRUE(testing::FileExists(spool_));
  for (const std::string& path :
       {std::string(), dir_.File("no/such/folder/LPT1.PRN"), dir_.File("folder"), dir_.File("fifo")}) {
    EXPECT_EQ(files.Open(path), nullptr) << path;
  }
  EXPECT_FALSE(testing::FileExists(dir_.File("no")));
}

TEST_F(PosixSpoolFilesTest, TakeReadsEverythingAndEmptiesTheSameFile) {
  const std::string bytes(
      "\x1b"
      "E0123\0"
      "456\x0c",
      11);
  WriteFileBytes(spool_, bytes);
  const ino_t inode = InodeOf(spool_);
  PosixSpoolFiles files;
  auto file = files.Open(spool_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 11);
  EXPECT_EQ(ReadAll(*file), bytes);
  // Asking for more than the file holds stops at its end.
  std::vector<std::uint8_t> larger(64);
  EXPECT_EQ(file->Read(larger.data(), 64), 11);
  EXPECT_TRUE(file->Empty());
  file.reset();
  EXPECT_EQ(InodeOf(spool_), inode);
  EXPECT_EQ(ReadFileBytes(spool_), "");
}

TEST_F(PosixSpoolFilesTest, FileOpenInAnotherProcessIsRefusedUntilClosed) {
  if (!leases_) GTEST_SKIP() << "no leases on this file system";
  WriteFileBytes(spool_, "data");
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t reader = Fork([&] {
    const int fd = ::open(spool_.c_str(), O_RDONLY);
    char c = 1;
    if (::write(ready[1], &c, 1) != 1 || ::read(release[0], &c, 1) != 1) return 2;
    ::close(fd);
    return fd >= 0 ? 0 : 1;
  });
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);

  PosixSpoolFiles files;
  EXPECT_EQ(files.Open(spool_), nullptr);
  ASSERT_EQ(::write(release[1], &c, 1), 1);
  EXPECT_TRUE(ExitedWith(WaitFor(reader, 5s), 0));
  auto file = files.Open(spool_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file), "data");
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST_F(PosixSpoolFilesTest, WriterWaitsForTheTakeAndItsBytesLandAfterEmpty) {
  if (!leases_) GTEST_SKIP() << "no leases on this file system";
  WriteFileBytes(spool_, "first take");
  PosixSpoolFiles files;
  auto file = files.Open(spool_);
  ASSERT_NE(file, nullptr);

  const pid_t writer = Fork([&] {
    const int fd = ::open(spool_.c_str(), O_WRONLY | O_APPEND);
    const bool written = fd >= 0 && ::write(fd, "second", 6) == 6;
    return written ? 0 : 1;
  });
  std::this_thread::sleep_for(300ms);
  int status = 0;
  EXPECT_EQ(::waitpid(writer, &status, WNOHANG), 0) << "the writer's open() did not wait for the lease";
  EXPECT_EQ(ReadAll(*file), "first take");
  EXPECT_TRUE(file->Empty());
  file.reset();

  EXPECT_TRUE(ExitedWith(WaitFor(writer, 5s), 0));
  EXPECT_EQ(ReadFileBytes(spool_), "second");
}

TEST_F(PosixSpoolFilesTest, LeaseBreakSignalDoesNotEndTheProcess) {
  if (!leases_) GTEST_SKIP() << "no leases on this file system";
  WriteFileBytes(spool_, "bytes");
  // A fresh process with SIGIO at its default action, as a program starts.
  const pid_t holder = Fork([&] {
    ::signal(SIGIO, SIG_DFL);
    PosixSpoolFiles files;
    auto file = files.Open(spool_);
    if (file == nullptr) return 3;
    const pid_t opener = ::fork();
    if (opener == 0) ::_exit(::open(spool_.c_str(), O_RDONLY) >= 0 ? 0 : 1);
    ::usleep(200 * 1000);
    file.reset();
    int status = 0;
    ::waitpid(opener, &status, 0);
    return ExitedWith(status, 0) ? 0 : 4;
  });
  const int status = WaitFor(holder, 10s);
  EXPECT_FALSE(status >= 0 && WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_TRUE(ExitedWith(status, 0)) << status;
}

TEST_F(PosixSpoolFilesTest, WithoutLeasesAFileIsTakenOnlyOnceStable) {
  PosixSpoolFiles files(PosixSpoolFiles::Sharing::StabilityCheck);
  WriteFileBytes(spool_, "abc");
  EXPECT_EQ(files.Open(spool_), nullptr) << "first sight counts as changed";
  auto file = files.Open(spool_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file), "abc");
  EXPECT_TRUE(file->Empty());
  file.reset();
  // Emptying is not mistaken for a change by a writer.
  file = files.Open(spool_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 0);
  file.reset();

  const int writer = ::open(spool_.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "de", 2), 2);
  EXPECT_EQ(files.Open(spool_), nullptr) << "grew since the last pass";
  file = files.Open(spool_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file), "de");
  // Bytes that arrive between the read and the emptying must not be cut away.
  ASSERT_EQ(::write(writer, "f", 1), 1);
  EXPECT_FALSE(file->Empty());
  file.reset();
  ::close(writer);
  EXPECT_EQ(ReadFileBytes(spool_), "def");
}

}  // namespace
}  // namespace quillmark
