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

// Two printers, as LPT1 and LPT2 redirected to two spool files: each line once, on its own printer.
TEST(DosEmulator, DosBoxAppendsThroughDosAndEveryLineIsPrintedOnce) {
  if (!testing::FileExists(kDosBox)) GTEST_SKIP() << kDosBox << " is not installed (apt-get install dosbox)";
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("Settings.ini"),
                          "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n"
                          "[Job_2]\r\nPath = LABELS.PRN\r\nPrinter = PDF:LABELS\r\nEmulation = ESC/P2\r\n");
  const std::string spoolOf[] = {"SPOOL.PRN", "LABELS.PRN"};
  testing::RunningProgram quillmark({testing::BuiltProgram("quillmark"), "-C", dir.path()}, "/");
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir.File("LABELS.PRN")); }, 10s));

  // Several DOS sessions, each appending with TYPE and ECHO the way DOS print runs do.
  std::vector<std::string> lines[2];
  for (int run = 0; run < 3; ++run) {
    std::string autoexec = "[autoexec]\r\nmount c " + dir.path() + "\r\nc:\r\n";
    for (int i = 0; i < 8; ++i) {
      const std::string name = "R" + std::to_string(run) + "L" + std::to_string(i) + ".TXT";
      lines[i % 2].push_back("DOS-Zeile " + std::to_string(run) + "-" + std::to_string(i));
      testing::WriteFileBytes(dir.File(name), lines[i % 2].back() + "\r\n");
      autoexec += "type " + name + " >> " + spoolOf[i % 2] + "\r\n";
    }
    lines[0].push_back("DOS-Echo-" + std::to_string(run));
    autoexec += "echo " + lines[0].back() + ">> SPOOL.PRN\r\nexit\r\n";
    testing::WriteFileBytes(dir.File("dosbox.conf"), autoexec);
    const auto dosbox =
        testing::RunProgram({kDosBox, "-conf", dir.File("dosbox.conf")}, dir.path(), 60s,
                            {"HOME=" + dir.path(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"});
    ASSERT_EQ(dosbox.exitCode, 0) << dosbox.err;
  }
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        return testing::ReadFileBytes(dir.File("SPOOL.PRN")).empty() &&
               testing::ReadFileBytes(dir.File("LABELS.PRN")).empty();
      },
      10s));
  quillmark.Signal(SIGTERM);
  const auto result = quillmark.Wait(60s);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string folders[] = {"PDF", "LABELS"};
  for (int slot = 0; slot < 2; ++slot) {
    std::string printed;
    for (const auto& pdf : std::filesystem::directory_iterator(dir.File(folders[slot]))) {
      printed += testing::ReadPdfText(pdf.path().string());
    }
    for (const auto& line : lines[slot]) {
      const auto first = printed.find(line + "\n");
      EXPECT_TRUE(first != std::string::npos && printed.find(line + "\n", first + 1) == std::string::npos)
          << line << " must be printed once in " << folders[slot] << "\n"
          << printed;
    }
    for (const auto& line : lines[1 - slot]) EXPECT_EQ(printed.find(line + "\n"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace quillmark
