#include "platform/posix/posix_spool_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

TEST(PosixSpoolFilesTest, FileAnotherProcessHasOpenIsSkippedUntilClosed) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("SPOOL.PRN"), "data");
  testing::RunningProgram holder({"/bin/sh", "-c", "exec 3<SPOOL.PRN; : >ready; exec sleep 60"}, dir.path());
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir.File("ready")); }, 10s));
  PosixSpoolFiles files;
  EXPECT_EQ(files.Open(dir.File("SPOOL.PRN")), nullptr);
  holder.Signal(SIGKILL);
  holder.Wait(10s);
  EXPECT_NE(files.Open(dir.File("SPOOL.PRN")), nullptr);
}

TEST(PosixSpoolFilesTest, LeaseBreakSignalDoesNotEndTheProcess) {
  testing::TempDir dir;
  const std::string spool = dir.File("SPOOL.PRN");
  testing::WriteFileBytes(spool, "bytes");
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::signal(SIGIO, SIG_DFL);  // as a program starts
    PosixSpoolFiles files;
    auto file = files.Open(spool);
    if (file == nullptr) ::_exit(3);
    if (::fork() == 0) ::_exit(::open(spool.c_str(), O_RDONLY) >= 0 ? 0 : 1);  // breaks the lease
    ::usleep(200 * 1000);
    file.reset();
    int status = 1;
    ::wait(&status);
    ::_exit(status == 0 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "no leases on this file system";
  EXPECT_EQ(status, 0) << (WIFSIGNALED(status) ? "ended by signal " : "exit status ") << status;
}

}  // namespace
}  // namespace quillmark
