// The real quillmark executable at start-up, headless, in a temporary working directory.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

TEST(StartupEndToEnd, FatalSettingsErrorsAreLoggedShownAndEndWithCodeZero) {
  const std::string header = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') +
                             "\r\n\r\n" + std::string(160, '#') + "\r\n";
  const struct {
    const char* settings;  // nullptr: none; "/": a folder in its place
    std::string message;
  } cases[] = {
      {nullptr, "Keine Settings.ini gefunden!"},
      {"/", "Keine Settings.ini gefunden!"},
      {"", "Keinen Main Eintrag in der Settings.ini gefunden!"},
      {"[ Main ]\r\n[Job_1]\r\n", "Keinen Main Eintrag in der Settings.ini gefunden!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message + " / " + (c.settings ? c.settings : "none"));
    testing::TempDir dir;
    if (c.settings != nullptr && std::string(c.settings) == "/") {
      ASSERT_EQ(::mkdir(dir.File("Settings.ini").c_str(), 0755), 0);
    } else if (c.settings != nullptr) {
      testing::WriteFileBytes(dir.File("Settings.ini"), c.settings);
    }
    const auto result = testing::RunProgram({testing::BuiltProgram("quillmark")}, dir.path(), 20s);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "Executable: " + c.message + "\n\nDas Programm wird nun beendet.\n");
    const std::string log = testing::ReadFileBytes(dir.File("Error.log"));
    ASSERT_EQ(log.size(), header.size() + 17 + 76 + c.message.size() + 2);
    EXPECT_EQ(log.substr(0, header.size()), header);
    EXPECT_EQ(log.substr(header.size() + 17), " |                      | 0        |" +
                                                  std::string(34, ' ') + "| 2 | " + c.message + "\r\n");
    EXPECT_FALSE(testing::FileExists(dir.File("LPT1.PRN"))) << "no thread may start";
  }
}

}  // namespace
}  // namespace quillmark
