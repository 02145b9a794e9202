#include "log/error_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <map>
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

using testing::FixedClock;
using testing::MemoryFileSystem;

const std::string kHeader = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') +
                            "\r\n\r\n" + std::string(160, '#') + "\r\n";

class ErrorLogTest : public ::testing::Test {
 protected:
  std::string Log() const { return files_.Get("Error.log"); }
  // The single entry line that one call adds to an empty log, without header and CR LF.
  std::string EntryOf(std::string_view context, std::string_view message, std::string_view sourceFile,
                      std::int32_t code, std::int32_t severity) {
    MemoryFileSystem files;
    ErrorLog(files, clock_).LogError(context, message, sourceFile, code, severity);
    std::string text = files.Get("Error.log");
    EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
    text.erase(0, kHeader.size());
    EXPECT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    return text.substr(0, text.size() - 2);
  }

  MemoryFileSystem files_;
  FixedClock clock_{LocalTime{2007, 3, 15, 9, 41, 5}};
  ErrorLog log_{files_, clock_};
};

TEST_F(ErrorLogTest, FirstEntryCreatesHeaderThenLinesFollowWithoutIt) {
  log_.LogError("", "Keine Settings.ini gefunden!", "", 0, 2);
  clock_.Set(LocalTime{2007, 3, 15, 9, 52, 40});
  log_.LogError("", "Drucker 'Office Printer' konnte nicht initialisiert werden.", "", 0, 0);
  EXPECT_EQ(Log(),
            kHeader +
                "07-03-15 09:41:05 |                      | 0        |                                  "
                "| 2 | Keine Settings.ini gefunden!\r\n"
                "07-03-15 09:52:40 |                      | 0        |                                  "
                "| 0 | Drucker 'Office Printer' konnte nicht initialisiert werden.\r\n");
}

TEST_F(ErrorLogTest, NonEmptyFileGetsNoHeaderAndEntryContinuesItsLastLine) {
  files_.Put("Error.log", "partial");
  log_.LogError("ctx", "msg", "", 1, 0);
  EXPECT_EQ(Log(), "partial07-03-15 09:41:05 |                      | 1        | ctx" + std::string(29, ' ') +
                       " | 0 | msg\r\n");
}

TEST_F(ErrorLogTest, ModuleIsFileNameWithoutDirectoryAndExtension) {
  const std::map<std::string, std::string> cases = {
      {"D:\\work\\report.dat", "report"},
      {"report.dat", "report"},
      {"\"D:\\work\\report.dat\"", "report"},
      {"report", "report"},
      {"archive.tar.gz", "archive.tar"},
      {"/usr/src/quill/main.cpp", "main"},
      {"dir.d/noext", "noext"},
      {"C:\\x/y\\z.c", "z"},
      {"\"quoted.c\" trailing", "quoted"},
      {"a_very_long_module_name_beyond_twenty.cpp", "a_very_long_module_n"},
      {"", ""},
      {"dir\\", ""},
  };
  for (const auto& [source, module] : cases) {
    const std::string line = EntryOf("", "m", source, 0, 0);
    EXPECT_EQ(line.substr(17, 26), " | " + module + std::string(20 - module.size(), ' ') + " | ") << source;
  }
}

TEST_F(ErrorLogTest, FieldsAreCutOrPaddedToTheirWidths) {
  struct Case {
    std::string context;
    std::int32_t code;
    std::int32_t severity;
    std::string message;
    std::string expectedTail;  // everything after the time stamp and module
  };
  const std::string blanks32(32, ' ');
  const std::vector<Case> cases = {
      {"", -5, 0, "m", "-5       | " + blanks32 + " | 0 | m"},
      {"", 123456789, 1, "m", "12345678 | " + blanks32 + " | 1 | m"},
      {"", std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(), "m",
       "-2147483 | " + blanks32 + " | -2147483648 | m"},
      {std::string(40, 'c'), 0, -1, "m", "0        | " + std::string(32, 'c') + " | -1 | m"},
      {"exactly-thirty-two-characters-xx", 12345678, 7, "",
       "12345678 | exactly-thirty-two-characters-xx | 7 | "},
      {"", 0, 0, "a | b\r\nc", "0        | " + blanks32 + " | 0 | a | b\r\nc"},
  };
  for (const Case& c : cases) {
    const std::string line = EntryOf(c.context, c.message, "", c.code, c.severity);
    EXPECT_EQ(line.substr(0, 43), "07-03-15 09:41:05 |                      | ");
    EXPECT_EQ(line.substr(43), c.expectedTail) << c.context << " " << c.code;
    EXPECT_EQ(line.substr(86, 3), " | ");  // the severity starts at the 90th character
  }
}

TEST_F(ErrorLogTest, TimeStampUsesTwoDigitFields) {
  const std::vector<std::pair<LocalTime, std::string>> cases = {
      {{2007, 3, 7, 9, 5, 3}, "07-03-07 09:05:03"},
      {{2000, 12, 31, 23, 59, 59}, "00-12-31 23:59:59"},
      {{1999, 1, 1, 0, 0, 0}, "99-01-01 00:00:00"},
      {{2026, 10, 10, 10, 10, 10}, "26-10-10 10:10:10"},
  };
  for (const auto& [time, stamp] : cases) {
    clock_.Set(time);
    EXPECT_EQ(EntryOf("", "m", "", 0, 0).substr(0, 17), stamp);
  }
}

// The same log through the real file system.
class ErrorLogFileTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  FixedClock clock_;
  PosixFileSystem files_;
  ErrorLog log_{files_, clock_, dir_.File("Error.log")};
};

TEST_F(ErrorLogFileTest, EmptyFileGetsHeaderOnce) {
  testing::WriteFileBytes(dir_.File("Error.log"), "");
  log_.LogError("", "one", "", 0, 2);
  log_.LogError("", "two", "", 0, 0);
  const std::string prefix = "07-03-15 09:41:05 |                      | 0        | " + std::string(32, ' ');
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("Error.log")),
            kHeader + prefix + " | 2 | one\r\n" + prefix + " | 0 | two\r\n");
}

TEST_F(ErrorLogFileTest, ReadOnlyFileOrDirectoryLosesEntryAndChangesNothing) {
  testing::WriteFileBytes(dir_.File("Error.log"), "old\r\n");
  ASSERT_EQ(::chmod(dir_.File("Error.log").c_str(), 0444), 0);
  log_.LogError("", "m", "", 0, 0);
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("Error.log")), "old\r\n");

  ASSERT_EQ(::mkdir(dir_.File("folder.log").c_str(), 0755), 0);
  ErrorLog(files_, clock_, dir_.File("folder.log")).LogError("", "m", "", 0, 0);
  struct stat info {};
  ASSERT_EQ(::stat(dir_.File("folder.log").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

// Writers in this process and in a child process append to one file at once; every entry must arrive
// whole, once, after a single header.
TEST(ErrorLogThreads, ConcurrentWritersNeverInterleave) {
  testing::TempDir dir;
  const std::string path = dir.File("Error.log");
  constexpr int kThreads = 4;
  constexpr int kEntries = 200;
  // Long messages make a torn or interleaved write visible.
  const auto message = [](int writer, int entry) {
    return "writer " + std::to_string(writer) + " entry " + std::to_string(entry) + " " +
           std::string(3000, static_cast<char>('a' + writer));
  };
  const auto write = [&](int writer) {
    FixedClock clock;
    PosixFileSystem files;
    ErrorLog log(files, clock, path);
    for (int entry = 0; entry < kEntries; ++entry) log.LogError("", message(writer, entry), "", writer, 0);
  };

  // Fork before any thread starts so the child holds no copied lock.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    write(kThreads);
    ::_exit(0);
  }
  std::vector<std::thread> threads;
  for (int writer = 0; writer < kThreads; ++writer) threads.emplace_back(write, writer);
  for (std::thread& thread : threads) thread.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::string text = testing::ReadFileBytes(path);
  ASSERT_EQ(text.substr(0, kHeader.size()), kHeader);
  std::vector<int> next(kThreads + 1, 0);
  std::size_t at = kHeader.size();
  int lines = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(at, end - at);
    ASSERT_GT(line.size(), 89u);
    const int writer = std::stoi(line.substr(43, 8));
    ASSERT_GE(writer, 0);
    ASSERT_LE(writer, kThreads);
    // Entries of one writer arrive in the order written.
    EXPECT_EQ(line.substr(89), "0 | " + message(writer, next[static_cast<std::size_t>(writer)]));
    ++next[static_cast<std::size_t>(writer)];
    ++lines;
    at = end + 2;
  }
  EXPECT_EQ(lines, (kThreads + 1) * kEntries);
  for (int count : next) EXPECT_EQ(count, kEntries);
}

}  // namespace
}  // namespace quillmark
