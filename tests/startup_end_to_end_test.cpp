// The real quillmark executable at start-up, headless, in a temporary working directory.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::BuiltProgram;
using testing::ReadFileBytes;
using testing::RunningProgram;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kHeader = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') + "\r\n\r\n" +
                            std::string(160, '#') + "\r\n";

// The log with each entry's time stamp (its first 17 characters) replaced by "T".
std::string LogWithoutTimes(const std::string& log) {
  if (log.compare(0, kHeader.size(), kHeader) != 0) return "no header: " + log;
  std::string out;
  std::size_t line = kHeader.size();
  while (line < log.size()) {
    const std::size_t end = log.find("\r\n", line);
    const std::size_t next = end == std::string::npos ? log.size() : end + 2;
    out += "T" + log.substr(line + 17, next - line - 17);
    line = next;
  }
  return out;
}

std::string Entry(const std::string& message, int severity) {
  return "T |                      | 0        |                                  | " + std::to_string(severity) +
         " | " + message + "\r\n";
}

TEST(StartupEndToEnd, FatalSettingsErrorsAreLoggedShownAndEndWithCodeZero) {
  const struct {
    const char* name;
    const char* settings;  // nullptr: no Settings.ini at all
    std::string message;
  } cases[] = {
      {"missing file", nullptr, "Keine Settings.ini gefunden!"},
      {"settings is a folder", "<dir>", "Keine Settings.ini gefunden!"},
      {"empty file", "", "Keinen Main Eintrag in der Settings.ini gefunden!"},
      {"blank inside the brackets", "[ Main ]\r\n[Job_1]\r\n", "Keinen Main Eintrag in der Settings.ini gefunden!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.settings != nullptr && std::string(c.settings) == "<dir>") {
      ASSERT_EQ(::mkdir(dir.File("Settings.ini").c_str(), 0755), 0);
    } else if (c.settings != nullptr) {
      WriteFileBytes(dir.File("Settings.ini"), c.settings);
    }
    const auto result = RunProgram({BuiltProgram("quillmark")}, dir.path(), 20s);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(LogWithoutTimes(ReadFileBytes(dir.File("Error.log"))), Entry(c.message, 2));
    EXPECT_EQ(result.err, "Executable: " + c.message + "\n\nDas Programm wird nun beendet.\n");
    EXPECT_FALSE(testing::FileExists(dir.File("LPT1.PRN"))) << "no thread may start";
  }
}

TEST(StartupEndToEnd, MissingJobGroupIsLoggedAndTheProgramRunsUntilAskedToClose) {
  TempDir dir;
  WriteFileBytes(dir.File("Settings.ini"), "[Main]\n[Job_2]\nPath = LPT1.PRN\n");
  RunningProgram program({BuiltProgram("quillmark")}, dir.path());
  ASSERT_TRUE(testing::WaitUntil([&] { return !ReadFileBytes(dir.File("Error.log")).empty(); }, 10s));
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(program.Running());
  program.Signal(SIGTERM);
  const auto result = program.Wait(10s);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(LogWithoutTimes(ReadFileBytes(dir.File("Error.log"))),
            Entry("Kein Job_1 Eintrag in der Settings.ini gefunden!", 0));
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace quillmark
