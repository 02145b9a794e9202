// Several job slots in one running quillmark: each spool file prints on its own slot's printer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::WaitUntil;

bool Append(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == std::ssize(bytes);
  return ::close(fd) == 0 && written;
}

class JobSlotsEndToEnd : public ::testing::Test {
 protected:
  void Start(const std::string& jobGroups) {
    testing::WriteFileBytes(dir_.File("Settings.ini"), "[Main]\r\n" + jobGroups);
    program_ = std::make_unique<testing::RunningProgram>(
        std::vector<std::string>{testing::BuiltProgram("quillmark")}, dir_.path());
  }

  void Quit() {
    program_->Signal(SIGTERM);
    const testing::ProgramResult result = program_->Wait(300s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }

  std::vector<std::string> Files(const std::string& folder) const {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File(folder), error)) {
      files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  // Everything the PDFs in `folder` say, in the order they were printed.
  std::string Printed(const std::string& folder) const {
    std::string text;
    for (const std::string& pdf : Files(folder)) {
      text += testing::RunProgram({"/usr/bin/pdftotext", "-layout", pdf, "-"}, dir_.path(), 120s).out;
    }
    return text;
  }

  testing::TempDir dir_;
  std::unique_ptr<testing::RunningProgram> program_;
};

// Three slots numbered with gaps, three DOS programs printing at once under different emulations and
// code pages: each line comes out once, on its own slot's printer, in its own slot's code page.
TEST_F(JobSlotsEndToEnd, ThreeWritersAtOnceEachLineOnceInItsOwnSlot) {
  // Sheets 5 m long hold a whole writer's lines on one page.
  Start(
      "[Job_1]\r\nPath = SPOOL1.PRN\r\nPrinter = PDF:PDF1\r\nPaper.Height = 5000\r\n"
      "[Job_2]\r\nPath = SPOOL2.PRN\r\nPrinter = PDF:PDF2\r\nEmulation = ESC/P2\r\nCodePage = 850\r\n"
      "Paper.Height = 5000\r\n"
      "[Job_5]\r\nPath = SPOOL5.PRN\r\nPrinter = PDF:PDF5\r\nEmulation = ESC/P2\r\nCodePage = 437\r\n"
      "Paper.Height = 5000\r\n");
  const std::vector<int> slots = {1, 2, 5};
  const std::map<int, std::string> spool = {{1, "SPOOL1.PRN"}, {2, "SPOOL2.PRN"}, {5, "SPOOL5.PRN"}};
  constexpr int kLines = 400;
  std::vector<pid_t> writers;
  for (const int slot : slots) {
    writers.push_back(::fork());
    if (writers.back() != 0) continue;
    // 0xE7 is tau in code page 437 and thorn in 850.
    if (!Append(dir_.File(spool.at(slot)), "Kopf \xE7\r\n")) ::_exit(2);
    for (int n = 0; n < kLines; ++n) {
      if (!Append(dir_.File(spool.at(slot)), "S" + std::to_string(slot) + "-" + std::to_string(n) + "\r\n")) {
        ::_exit(2);
      }
      if (n % 40 == 39) ::usleep(150'000);
    }
    ::_exit(0);
  }
  for (const pid_t pid : writers) {
    int status = 1;
    EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && status == 0);
  }
  ASSERT_TRUE(WaitUntil(
      [&] {
        return std::all_of(slots.begin(), slots.end(), [&](int slot) {
          return std::filesystem::file_size(dir_.File(spool.at(slot))) == 0;
        });
      },
      30s));
  Quit();

  const std::regex line("S([0-9])-([0-9]+)");
  for (const int slot : slots) {
    const std::string text = Printed("PDF" + std::to_string(slot));
    EXPECT_GT(Files("PDF" + std::to_string(slot)).size(), 1u) << "slot " << slot << " printed in one take";
    std::vector<int> seen(kLines);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
      ASSERT_EQ(std::stoi((*it)[1]), slot) << "a line of another slot in slot " << slot << "'s output";
      ++seen.at(std::stoul((*it)[2]));
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), kLines) << "slot " << slot;
    EXPECT_NE(text.find(slot == 2 ? "Kopf þ" : "Kopf τ"), std::string::npos) << "slot " << slot << ": " << text;
  }
}

// Slot 1's printer is missing: its takes are kept, while slots 2 and 5 print on, their left-over takes of an
// earlier run first. A left-over take of a slot no longer in Settings.ini is kept, with a line in Error.log.
TEST_F(JobSlotsEndToEnd, AFailingSlotHoldsUpNoOtherAndLeftoversFindTheirSlot) {
  std::filesystem::create_directory(dir_.File("Warteschlange"));
  testing::WriteFileBytes(dir_.File("Warteschlange/000000000001-2.prn"), "Rest zwei\r\n");
  testing::WriteFileBytes(dir_.File("Warteschlange/000000000002-5.prn"), "Rest fuenf\r\n");
  testing::WriteFileBytes(dir_.File("Warteschlange/000000000003-7.prn"), "Rest sieben\r\n");
  Start(
      "[Job_1]\r\nPath = SPOOL1.PRN\r\nPrinter = Nirgendwo\r\n"
      "[Job_2]\r\nPath = SPOOL2.PRN\r\nPrinter = PDF:PDF2\r\n"
      "[Job_5]\r\nPath = SPOOL5.PRN\r\nPrinter = PDF:PDF5\r\n");
  ASSERT_TRUE(WaitUntil([&] { return Files("PDF2").size() == 1 && Files("PDF5").size() == 1; }, 20s));
  for (int n = 1; n <= 3; ++n) {
    ASSERT_TRUE(Append(dir_.File("SPOOL1.PRN"), "Eins " + std::to_string(n) + "\r\n"));
    ASSERT_TRUE(Append(dir_.File("SPOOL2.PRN"), "Zwei " + std::to_string(n) + "\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return Files("PDF2").size() == static_cast<std::size_t>(n) + 1; }, 20s)) << n;
  }
  // Slot 1's takes in Ungedruckt/, the gone slot 7's in Ungedruckt/Job_7/.
  ASSERT_TRUE(WaitUntil([&] { return Files("Ungedruckt").size() == 4 && Files("Ungedruckt/Job_7").size() == 1; },
                        20s));
  Quit();

  EXPECT_NE(Printed("PDF2").find("Rest zwei"), std::string::npos);
  EXPECT_TRUE(std::regex_search(Printed("PDF2"), std::regex("Zwei 1[^]*Zwei 2[^]*Zwei 3")));
  EXPECT_NE(Printed("PDF5").find("Rest fuenf"), std::string::npos);
  std::string kept;
  for (const std::string& file : Files("Ungedruckt")) {
    if (std::filesystem::is_regular_file(file)) kept += ReadFileBytes(file);
  }
  for (const std::string text : {"Eins 1", "Eins 2", "Eins 3"}) EXPECT_NE(kept.find(text), std::string::npos) << text;
  EXPECT_EQ(ReadFileBytes(Files("Ungedruckt/Job_7").at(0)), "Rest sieben\r\n");
  EXPECT_TRUE(Files("Warteschlange").empty());
  const std::string log = ReadFileBytes(dir_.File("Error.log"));
  EXPECT_NE(log.find("| 0 | Druckauftrag 'Warteschlange/000000000003-7.prn' gehoert zu Job_7, das nicht mehr in "
                     "der Settings.ini steht; Druckdaten gespeichert unter 'Ungedruckt/Job_7/"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace quillmark
