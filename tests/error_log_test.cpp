#include "log/error_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/posix_file_system.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

const std::string kHeader = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') +
                            "\r\n\r\n" + std::string(160, '#') + "\r\n";

TEST(ErrorLog, EntriesHaveFixedWidthFieldsAndTheHeaderGoesOnlyIntoAnEmptyFile) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  files.Put("Error.log", "");
  ErrorLog log(files, clock);
  log.LogError("", "Keine Settings.ini gefunden!", "", 0, 2);
  log.LogError(std::string(40, 'c'), "a | b\r\nc", "\"D:\\work\\archive.tar.gz\"", 123456789, -1);
  log.LogError("ctx", "m", "/usr/src.d/noext_but_a_long_name", kMin, kMin);
  log.LogError("", "m", "\"main.c\"", -5, 0);
  EXPECT_EQ(files.Get("Error.log"),
            kHeader +
                "07-03-15 09:41:05 |                      | 0        |                                  "
                "| 2 | Keine Settings.ini gefunden!\r\n"
                "07-03-15 09:41:05 | archive.tar          | 12345678 | cccccccccccccccccccccccccccccccc "
                "| -1 | a | b\r\nc\r\n"
                "07-03-15 09:41:05 | noext_but_a_long_nam | -2147483 | ctx                              "
                "| -2147483648 | m\r\n"
                "07-03-15 09:41:05 | main                 | -5       |                                  "
                "| 0 | m\r\n");
}

TEST(ErrorLog, ReadOnlyFileOrDirectoryLosesTheEntryAndChangesNothing) {
  testing::TempDir dir;
  testing::FixedClock clock;
  PosixFileSystem files;
  testing::WriteFileBytes(dir.File("Error.log"), "old\r\n");
  ASSERT_EQ(::chmod(dir.File("Error.log").c_str(), 0444), 0);
  ASSERT_EQ(::mkdir(dir.File("folder.log").c_str(), 0755), 0);
  ErrorLog(files, clock, dir.File("Error.log")).LogError("", "m", "", 0, 0);
  ErrorLog(files, clock, dir.File("folder.log")).LogError("", "m", "", 0, 0);
  EXPECT_EQ(testing::ReadFileBytes(dir.File("Error.log")), "old\r\n");
  struct stat info {};
  EXPECT_TRUE(::stat(dir.File("folder.log").c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

// Threads here and a child process append at once; every entry must arrive whole, once, in order per
// writer, after a single header. Long messages make a torn write visible.
TEST(ErrorLogThreads, ConcurrentWritersNeverInterleave) {
  testing::TempDir dir;
  const std::string path = dir.File("Error.log");
  testing::WriteFileBytes(path, "");
  constexpr int kWriters = 5;
  constexpr int kEntries = 200;
  const auto message = [](int writer, int entry) {
    return std::to_string(entry) + std::string(3000, static_cast<char>('a' + writer));
  };
  const auto write = [&](int writer) {
    testing::FixedClock clock;
    PosixFileSystem files;
    ErrorLog log(files, clock, path);
    for (int entry = 0; entry < kEntries; ++entry) log.LogError("", message(writer, entry), "", writer, 0);
  };
  const pid_t child = ::fork();  // before any thread starts, so the child holds no copied lock
  ASSERT_GE(child, 0);
  if (child == 0) {
    write(kWriters - 1);
    ::_exit(0);
  }
  std::vector<std::thread> threads;
  for (int writer = 0; writer < kWriters - 1; ++writer) threads.emplace_back(write, writer);
  for (std::thread& thread : threads) thread.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::string text = testing::ReadFileBytes(path);
  ASSERT_EQ(text.substr(0, kHeader.size()), kHeader);
  std::istringstream lines(text.substr(kHeader.size()));
  std::vector<int> next(kWriters, 0);
  for (std::string line; std::getline(lines, line);) {
    const auto writer = static_cast<std::size_t>(std::stoi(line.substr(43, 8)));
    ASSERT_LT(writer, next.size());
    ASSERT_EQ(line.substr(89), "0 | " + message(static_cast<int>(writer), next[writer]++) + "\r");
  }
  EXPECT_EQ(next, std::vector<int>(kWriters, kEntries));
}

}  // namespace
}  // namespace quillmark
