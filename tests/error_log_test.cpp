#include "log/error_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/posix_log_sink.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

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

// A sink whose file fails with the given reasons, one per entry, and that keeps what it shows.
class FailingSink final : public LogSink {
 public:
  explicit FailingSink(std::vector<std::string> reasons) : reasons_(std::move(reasons)) {}
  std::string Append(std::string_view, std::string_view) override { return reasons_.at(next_++); }
  void Show(std::string_view text) override { shown.append(text).append("\n"); }
  std::string shown;

 private:
  std::vector<std::string> reasons_;
  std::size_t next_ = 0;
};

TEST(ErrorLog, ALogFileThatFailsIsNamedOncePerReasonAndAgainAfterItWorked) {
  const std::string full = "Error.log kann nicht geschrieben werden: No space left on device\n";
  FailingSink sink({"No space left on device", "No space left on device", "", "No space left on device",
                    "Permission denied"});
  testing::FixedClock clock;
  ErrorLog log(sink, clock);
  for (const char* message : {"a", "b", "c", "d", "e"}) log.Error(message);
  EXPECT_EQ(sink.shown,
            full + "a\nb\nc\n" + full + "d\nError.log kann nicht geschrieben werden: Permission denied\ne\n");
}

// The real program, started without Settings.ini so that it logs one entry and ends. A log file it may
// not write loses the entry, changes nothing and is named once on standard error with the reason; the
// entry itself still reaches standard error. A link planted by another user in a folder everyone may write
// is never followed; one of the program's own user is.
TEST(ErrorLog, TheProgramNamesALogFileItMustNotWriteAndFollowsOnlyItsOwnLinks) {
  const struct {
    const char* name;
    const char* plant;  // shell command run in the working folder
    bool asNobody;
    const char* reason;  // "" when the entry reaches the file
  } cases[] = {
      {.name = "read-only",
       .plant = "printf 'old\\r\\n' > Error.log; chmod 444 Error.log",
       .asNobody = false,
       .reason = "Permission denied"},
      {.name = "folder", .plant = "mkdir Error.log", .asNobody = false, .reason = "Is a directory"},
      {.name = "link of another user",
       .plant = "ln -s ../target Error.log",
       .asNobody = true,
       .reason = "Verknuepfung eines anderen Benutzers"},
      {.name = "dangling link of another user",
       .plant = "ln -s ../missing Error.log",
       .asNobody = true,
       .reason = "Verknuepfung eines anderen Benutzers"},
      {.name = "hard link",
       .plant = "ln ../target Error.log",
       .asNobody = false,
       .reason = "Datei mit mehreren harten Links"},
      {.name = "own link", .plant = "ln -s ../target Error.log", .asNobody = false, .reason = ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const std::string work = dir.File("work");
    ASSERT_EQ(::mkdir(work.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(work.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    testing::WriteFileBytes(dir.File("target"), "secret\n");
    const std::vector<std::string> plant = {
        "/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "/bin/sh", "-c", c.plant};
    const auto planted = testing::RunProgram(
        c.asNobody ? plant : std::vector<std::string>(plant.begin() + 4, plant.end()), work, 10s);
    ASSERT_EQ(planted.exitCode, 0) << planted.err;

    const auto run = testing::RunProgram({testing::BuiltProgram("quillmark")}, work, 60s);
    const std::string complaint = "Error.log kann nicht geschrieben werden: ";
    const std::size_t said = run.err.find(complaint);
    const std::size_t entry = run.err.find("Keine Settings.ini gefunden!");
    EXPECT_NE(entry, std::string::npos) << run.err;
    const std::string target = testing::ReadFileBytes(dir.File("target"));
    if (*c.reason == 0) {
      EXPECT_EQ(said, std::string::npos) << run.err;
      EXPECT_NE(target.find("Keine Settings.ini gefunden!"), std::string::npos) << target;
      continue;
    }
    ASSERT_NE(said, std::string::npos) << run.err;
    EXPECT_EQ(run.err.substr(said, run.err.find('\n', said) - said), complaint + c.reason) << run.err;
    EXPECT_LT(said, entry) << "named before the entry";
    EXPECT_EQ(run.err.find(complaint, said + 1), std::string::npos) << "once";
    EXPECT_EQ(target, "secret\n");
    EXPECT_FALSE(testing::FileExists(dir.File("missing")));
    if (std::string_view(c.name) == "read-only") {
      EXPECT_EQ(testing::ReadFileBytes(work + "/Error.log"), "old\r\n");
    }
  }
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
    PosixLogSink sink(path);
    ErrorLog log(sink, clock);
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
