#include "platform/posix/posix_spool_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

// With a lease or guarded without one: skipped while another process has it open, taken once it stood
// still after it was closed, and never emptied when it may have changed after it was read.
TEST(PosixSpoolFilesTest, FileIsTakenOnlyWhileNobodyElseCanWriteIt) {
  for (const auto sharing : {PosixSpoolFiles::Sharing::Lease, PosixSpoolFiles::Sharing::Guarded}) {
    SCOPED_TRACE(sharing == PosixSpoolFiles::Sharing::Lease ? "lease" : "guarded");
    testing::TempDir dir;
    const std::string spool = dir.File("SPOOL.PRN");
    testing::WriteFileBytes(spool, "data");
    testing::RunningProgram holder({"/bin/sh", "-c", "exec 3<SPOOL.PRN; : >ready; exec sleep 60"},
                                   dir.path());
    ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir.File("ready")); }, 10s));
    PosixSpoolFiles files(sharing);
    SpoolNotice notice = SpoolNotice::kNone;
    for (int pass = 0; pass < 2; ++pass) EXPECT_EQ(files.Open(spool, notice), nullptr);
    EXPECT_EQ(notice, SpoolNotice::kInUse);
    holder.Signal(SIGKILL);
    holder.Wait(10s);
    auto file = files.Open(spool, notice);
    if (file == nullptr) file = files.Open(spool, notice);  // the guard takes it once it stood still
    ASSERT_NE(file, nullptr);
    posix_spool::PosixSpoolFilesTestPeer::LoseLeaseBeforeEmpty(files);
    if (sharing == PosixSpoolFiles::Sharing::Guarded) testing::WriteFileBytes(spool, "data, more");
    EXPECT_FALSE(file->Empty(4).ok());
    EXPECT_NE(testing::ReadFileBytes(spool), "");
  }
  // A FIFO is never opened, so writers waiting on it are not let through into a pipe nobody reads.
  testing::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  PosixSpoolFiles files;
  SpoolNotice notice = SpoolNotice::kNone;
  EXPECT_EQ(files.Open(dir.File("fifo"), notice), nullptr);
  EXPECT_EQ(notice, SpoolNotice::kNotRegular);
}

TEST(PosixSpoolFilesTest, LeaseBreakSignalDoesNotEndTheProcess) {
  testing::TempDir dir;
  const std::string spool = dir.File("SPOOL.PRN");
  testing::WriteFileBytes(spool, "bytes");
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::signal(SIGIO, SIG_DFL);  // as a program starts
    PosixSpoolFiles files;
    SpoolNotice notice = SpoolNotice::kNone;
    auto file = files.Open(spool, notice);
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
