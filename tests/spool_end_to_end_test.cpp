// The real quillmark executable in a temporary working directory: bytes written into the spool file come
// out as PDFs from the built-in PDF printer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::FileExists;
using testing::ProgramResult;
using testing::ReadFileBytes;
using testing::RunningProgram;
using testing::TempDir;
using testing::WaitUntil;

// Appends `bytes` the way a DOS program does: open, write, close.
bool AppendToFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && written;
}

std::int64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class SpoolEndToEnd : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& printer = "PDF:PDF", const std::string& paperHeight = "297") {
    testing::WriteFileBytes(dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = " + printer +
                                "\r\nPaper.Height = " + paperHeight + "\r\n");
  }

  // Starts the program and waits until its watcher has made the spool file.
  std::unique_ptr<RunningProgram> Start() {
    auto program = std::make_unique<RunningProgram>(
        std::vector<std::string>{testing::BuiltProgram("quillmark")}, dir_.path());
    EXPECT_TRUE(WaitUntil([&] { return FileExists(Spool()); }, 10s)) << "the spool file was never created";
    return program;
  }

  ProgramResult Quit(RunningProgram& program, std::chrono::milliseconds timeout = 60s) {
    program.Signal(SIGTERM);
    return program.Wait(timeout);
  }

  std::string Spool() const { return dir_.File("LPT1.PRN"); }

  // Finished PDFs, oldest first (their names sort by time).
  std::vector<std::string> Pdfs() const {
    std::vector<std::string> pdfs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("PDF"), error)) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0 && name[0] != '.') {
        pdfs.push_back(entry.path().string());
      }
    }
    std::sort(pdfs.begin(), pdfs.end());
    return pdfs;
  }

  static std::string PdfText(const std::string& path) {
    TempDir scratch;
    const ProgramResult result =
        testing::RunProgram({"/usr/bin/pdftotext", "-layout", path, "-"}, scratch.path(), 120s);
    EXPECT_EQ(result.exitCode, 0) << path << ": " << result.err;
    return result.out;
  }

  // Waits until `count` PDFs exist and no further one has appeared for a second.
  bool WaitForPdfs(std::size_t count, std::chrono::milliseconds timeout = 30s) {
    if (!WaitUntil([&] { return Pdfs().size() >= count; }, timeout)) return false;
    std::this_thread::sleep_for(1s);
    return Pdfs().size() == count;
  }

  std::string ErrorLog() const { return ReadFileBytes(dir_.File("Error.log")); }

  TempDir dir_;
};

TEST_F(SpoolEndToEnd, TakeBecomesOnePdfAndTheSameFileStaysEmpty) {
  WriteSettings();
  auto program = Start();  // the first pass creates the missing spool file
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(FileSize(Spool()), 0);
  EXPECT_TRUE(Pdfs().empty());
  const ino_t inode = Inode(Spool());
  ASSERT_TRUE(AppendToFile(Spool(), "Hallo Welt"));
  ASSERT_TRUE(WaitForPdfs(1));
  const std::string text = PdfText(Pdfs()[0]);
  EXPECT_NE(text.find("Hallo Welt"), std::string::npos) << text;
  EXPECT_NE(text.find("Gedruckt mit Quillmark 1.0"), std::string::npos) << text;
  EXPECT_EQ(FileSize(Spool()), 0);
  EXPECT_EQ(Inode(Spool()), inode);
  EXPECT_EQ(ErrorLog(), "");
  EXPECT_EQ(Quit(*program).exitCode, 0);
}

TEST_F(SpoolEndToEnd, WriterHoldingTheFileOpenIsNeverCutShort) {
  WriteSettings();
  auto program = Start();
  const int fd = ::open(Spool().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::string written;
  for (int part = 1; part <= 3; ++part) {
    const std::string line = "Teil " + std::to_string(part) + " von 3\r\n";
    ASSERT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    written += line;
    std::this_thread::sleep_for(700ms);
    // Passes keep skipping the file while it is open: nothing taken, nothing cut.
    EXPECT_EQ(FileSize(Spool()), static_cast<std::int64_t>(written.size()));
    EXPECT_TRUE(Pdfs().empty());
  }
  ::close(fd);
  ASSERT_TRUE(WaitForPdfs(1));
  const std::string text = PdfText(Pdfs()[0]);
  const std::size_t first = text.find("Teil 1 von 3");
  const std::size_t second = text.find("Teil 2 von 3");
  const std::size_t third = text.find("Teil 3 von 3");
  EXPECT_TRUE(first != std::string::npos && first < second && second < third && third != std::string::npos)
      << text;
  EXPECT_EQ(FileSize(Spool()), 0);
  EXPECT_EQ(Quit(*program).exitCode, 0);
}

// Three writer processes append numbered lines for ten seconds while the program takes the file again and
// again: every line must come out exactly once.
TEST_F(SpoolEndToEnd, ConcurrentWritersLoseAndDuplicateNothing) {
  // Each writer breaks the page every 300 of its lines, so a page holds at most 900 lines; a 5 m page
  // (about 1,180 lines) keeps every one of them on paper, where pdftotext can read it back.
  WriteSettings("PDF:PDF", "5000");
  auto program = Start();
  constexpr int kWriters = 3;
  std::vector<pid_t> writers;
  for (int w = 1; w <= kWriters; ++w) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      // Bursts of lines as fast as they go, each in its own open/write/close.
      const auto end = std::chrono::steady_clock::now() + 10s;
      int n = 0;
      while (std::chrono::steady_clock::now() < end) {
        for (int burst = 0; burst < 50; ++burst, ++n) {
          char line[32];
          const int length =
              std::snprintf(line, sizeof line, "W%d %07d\r\n%s", w, n, n % 300 == 299 ? "\f" : "");
          if (!AppendToFile(Spool(), std::string(line, static_cast<std::size_t>(length)))) ::_exit(2);
        }
        ::usleep(5 * 1000);
      }
      AppendToFile(dir_.File("count" + std::to_string(w)), std::to_string(n));
      ::_exit(0);
    }
    ASSERT_GT(pid, 0);
    writers.push_back(pid);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const ProgramResult result = Quit(*program, 300s);
  EXPECT_EQ(result.exitCode, 0) << result.err;

  std::string everything = ReadFileBytes(Spool());
  const std::vector<std::string> pdfs = Pdfs();
  EXPECT_GT(pdfs.size(), 5u) << "the writers should have spanned many takes";
  for (const std::string& pdf : pdfs) everything += PdfText(pdf);

  std::map<int, std::vector<int>> seen;  // writer -> how often each number appeared
  for (int w = 1; w <= kWriters; ++w) {
    seen[w].assign(static_cast<std::size_t>(std::stoi(ReadFileBytes(dir_.File("count" + std::to_string(w))))),
                   0);
  }
  const std::regex line("W([1-3])\\s+([0-9]{7})");
  int strays = 0;
  for (auto it = std::sregex_iterator(everything.begin(), everything.end(), line);
       it != std::sregex_iterator(); ++it) {
    std::vector<int>& counts = seen[std::stoi((*it)[1])];
    const auto n = static_cast<std::size_t>(std::stoi((*it)[2]));
    if (n < counts.size()) {
      ++counts[n];
    } else {
      ++strays;
    }
  }
  EXPECT_EQ(strays, 0);
  for (const auto& [writer, counts] : seen) {
    EXPECT_GT(counts.size(), 1000u) << "writer " << writer;
    const auto missing = std::count(counts.begin(), counts.end(), 0);
    const auto doubled = std::count_if(counts.begin(), counts.end(), [](int c) { return c > 1; });
    EXPECT_EQ(missing, 0) << "writer " << writer << " of " << counts.size() << " lines";
    EXPECT_EQ(doubled, 0) << "writer " << writer;
  }
}

TEST_F(SpoolEndToEnd, CloseRequestPrintsTheJobInHandAndEveryQueuedOneInOrder) {
  WriteSettings();
  auto program = Start();
  // A first job long enough to be still printing while three more are taken (about four seconds in a
  // release build; pages cost far more under AddressSanitizer).
#ifdef __SANITIZE_ADDRESS__
  constexpr int kPages = 1000;
#else
  constexpr int kPages = 8000;
#endif
  std::string big = "Auftrag 1\r\n";
  for (int page = 0; page < kPages; ++page) big += "\fSeite " + std::to_string(page) + "\r\n";
  ASSERT_TRUE(AppendToFile(Spool(), big));
  ASSERT_TRUE(WaitUntil([&] { return FileSize(Spool()) == 0; }, 10s));
  for (int job = 2; job <= 4; ++job) {
    ASSERT_TRUE(AppendToFile(Spool(), "Auftrag " + std::to_string(job) + "\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return FileSize(Spool()) == 0; }, 10s));
  }
  const std::size_t doneAtQuit = Pdfs().size();
  const ProgramResult result = Quit(*program, 300s);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_LT(doneAtQuit, 4u) << "all jobs were done before the quit; make the first one longer";

  const std::vector<std::string> pdfs = Pdfs();
  ASSERT_EQ(pdfs.size(), 4u);
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    const std::string text = PdfText(pdfs[i]);
    EXPECT_NE(text.find("Auftrag " + std::to_string(i + 1)), std::string::npos) << pdfs[i];
  }
}

TEST_F(SpoolEndToEnd, CloseRequestWhenIdleEndsWithinASecond) {
  WriteSettings();
  auto program = Start();
  std::this_thread::sleep_for(300ms);
  const auto start = std::chrono::steady_clock::now();
  const ProgramResult result = Quit(*program, 10s);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_LT(took, 1500ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

TEST_F(SpoolEndToEnd, JobsForAMissingPrinterAreLoggedAndKept) {
  WriteSettings("Nirgendwo");
  auto program = Start();
  const std::string folder = dir_.File("Ungedruckt");
  auto kept = [&] {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      files.push_back(ReadFileBytes(entry.path().string()));
    }
    std::sort(files.begin(), files.end());
    return files;
  };
  ASSERT_TRUE(AppendToFile(Spool(), "erster Auftrag\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return kept().size() == 1; }, 20s));
  ASSERT_TRUE(AppendToFile(Spool(), "zweiter Auftrag\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return kept().size() == 2; }, 20s));
  EXPECT_TRUE(program->Running());
  EXPECT_EQ(kept(), (std::vector<std::string>{"erster Auftrag\r\n", "zweiter Auftrag\r\n"}));

  const std::string log = ErrorLog();
  const std::regex entry(
      "\\| 0 \\| Drucker 'Nirgendwo' konnte nicht initialisiert werden\\.\r\n"
      "[^\r\n]*\\| 0 \\| Druckdaten gespeichert unter 'Ungedruckt/[^'\r\n]+'\\.\r\n");
  const auto entries =
      std::distance(std::sregex_iterator(log.begin(), log.end(), entry), std::sregex_iterator());
  EXPECT_EQ(entries, 2) << log;
  EXPECT_EQ(Quit(*program).exitCode, 0);
}

}  // namespace
}  // namespace quillmark
