// DOS programs as writers: Debian's DOSBox, headless, appends to the spool file of the real quillmark.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDosBox = "/usr/bin/dosbox";

TEST(DosEmulator, DosBoxAppendsThroughDosAndEveryLineIsPrintedOnce) {
  if (!testing::FileExists(kDosBox)) GTEST_SKIP() << kDosBox << " is not installed (apt-get install dosbox)";
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("Settings.ini"),
                          "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n");
  testing::RunningProgram quillmark({testing::BuiltProgram("quillmark"), "-C", dir.path()}, "/");
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir.File("SPOOL.PRN")); }, 10s));

  // Several DOS sessions, each appending with TYPE and ECHO the way DOS print runs do.
  std::vector<std::string> lines;
  for (int run = 0; run < 3; ++run) {
    std::string autoexec = "[autoexec]\r\nmount c " + dir.path() + "\r\nc:\r\n";
    for (int i = 0; i < 8; ++i) {
      const std::string name = "R" + std::to_string(run) + "L" + std::to_string(i) + ".TXT";
      lines.push_back("DOS-Zeile " + std::to_string(run) + "-" + std::to_string(i));
      testing::WriteFileBytes(dir.File(name), lines.back() + "\r\n");
      autoexec += "type " + name + " >> SPOOL.PRN\r\n";
    }
    lines.push_back("DOS-Echo-" + std::to_string(run));
    autoexec += "echo " + lines.back() + ">> SPOOL.PRN\r\nexit\r\n";
    testing::WriteFileBytes(dir.File("dosbox.conf"), autoexec);
    const auto dosbox =
        testing::RunProgram({kDosBox, "-conf", dir.File("dosbox.conf")}, dir.path(), 60s,
                            {"HOME=" + dir.path(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"});
    ASSERT_EQ(dosbox.exitCode, 0) << dosbox.err;
  }
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::ReadFileBytes(dir.File("SPOOL.PRN")).empty(); }, 10s));
  quillmark.Signal(SIGTERM);
  const auto result = quillmark.Wait(60s);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::string printed;
  for (const auto& pdf : std::filesystem::directory_iterator(dir.File("PDF"))) {
    printed += testing::ReadPdfText(pdf.path().string());
  }
  for (const auto& line : lines) {
    const auto first = printed.find(line + "\n");
    EXPECT_TRUE(first != std::string::npos && printed.find(line + "\n", first + 1) == std::string::npos)
        << line << " must be printed once in\n"
        << printed;
  }
}

}  // namespace
}  // namespace quillmark
