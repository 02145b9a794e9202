// The real quillmark executable in a temporary directory, printing spool files to PDFs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::WaitUntil;

// Appends the way a DOS program does: open, write, close.
bool AppendToFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == std::ssize(bytes);
  return ::close(fd) == 0 && written;
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

class SpoolEndToEnd : public ::testing::Test {
 protected:
  // Starts the program and waits until its first pass has made the missing spool file. `guarded`: it runs
  // as nobody on a spool file of root's, which it may not lease; its first pass logs that.
  void Start(const std::string& printer = "PDF:PDF", const std::string& paperHeight = "297",
             bool guarded = false) {
    testing::WriteFileBytes(dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = " + printer +
                                "\r\nPaper.Height = " + paperHeight + "\r\n");
    if (guarded) {
      testing::WriteFileBytes(spool_, "");
      ASSERT_EQ(::chmod(spool_.c_str(), 0666), 0);
      ASSERT_EQ(::chown(dir_.path().c_str(), 65534, 65534), 0);  // nobody, nogroup
      // A copy, since nobody may not reach the build folder (a checkout under /root).
      std::filesystem::copy_file(command_[0], dir_.File("quillmark"));
      command_ = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  dir_.File("quillmark")};
    }
    Restart();
    ASSERT_TRUE(
        WaitUntil([&] { return testing::FileExists(guarded ? dir_.File("Error.log") : spool_); }, 10s));
  }

  // Starts the program again in the same folder, as after a crash.
  void Restart() { program_ = std::make_unique<testing::RunningProgram>(command_, dir_.path()); }

  testing::ProgramResult Quit(std::chrono::milliseconds timeout = 300s) {
    program_->Signal(SIGTERM);
    const testing::ProgramResult result = program_->Wait(timeout);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result;
  }

  std::size_t LogCount(const std::string& text) const {
    const std::string log = ReadFileBytes(dir_.File("Error.log"));
    std::size_t count = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }

  std::vector<std::string> Files(const std::string& folder, bool hidden = false) const {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File(folder), error)) {
      if (hidden == (entry.path().filename().string()[0] == '.')) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());  // the names sort by time
    return files;
  }

  // Waits until `count` PDFs exist and no further one appears for a second.
  bool WaitForPdfs(std::size_t count) {
    WaitUntil([&] { return Files("PDF").size() >= count; }, 30s);
    std::this_thread::sleep_for(1s);
    return Files("PDF").size() == count;
  }

  std::string PdfText(const std::string& path) const {
    return testing::RunProgram({"/usr/bin/pdftotext", "-layout", path, "-"}, dir_.path(), 120s).out;
  }

  testing::TempDir dir_;
  std::string spool_ = dir_.File("SPOOL.PRN");
  std::vector<std::string> command_{testing::BuiltProgram("quillmark")};
  std::unique_ptr<testing::RunningProgram> program_;
};

// Where the program may lease the spool file, and where it can only guard it.
class SpoolSharing : public SpoolEndToEnd, public ::testing::WithParamInterface<bool> {
  void SetUp() override {
    if (GetParam() && ::geteuid() != 0) GTEST_SKIP() << "only root can run the program as another user";
  }
};
INSTANTIATE_TEST_SUITE_P(SpoolEndToEnd, SpoolSharing, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Guarded" : "Lease"; });

TEST_P(SpoolSharing, TakesBecomePdfsTheFileStaysAndAnIdleQuitIsQuick) {
  Start("PDF:PDF", "297", GetParam());
  const ino_t inode = Stat(spool_).st_ino;
  EXPECT_EQ(Stat(spool_).st_size, 0);

  // A writer holding the file open is never cut short; its bytes come out whole in one take.
  const int fd = ::open(spool_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  std::int64_t written = 0;
  for (const std::string line : {"Teil 1\r\n", "Teil 2\r\n", "Teil 3\r\n"}) {
    written += ::write(fd, line.data(), line.size());
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(Stat(spool_).st_size, written);
  }
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return Files("PDF").size() == 1; }, 30s));
  const std::string text = PdfText(Files("PDF")[0]);
  EXPECT_TRUE(std::regex_search(text, std::regex("Teil 1\\s+Teil 2\\s+Teil 3"))) << text;

  // Its close is seen: the next writer's bytes are taken.
  ASSERT_TRUE(AppendToFile(spool_, "Hallo Welt"));
  ASSERT_TRUE(WaitForPdfs(2));
  EXPECT_NE(PdfText(Files("PDF")[1]).find("Hallo Welt"), std::string::npos);
  EXPECT_EQ(Stat(spool_).st_size, 0);
  EXPECT_EQ(Stat(spool_).st_ino, inode);

  const auto quit = std::chrono::steady_clock::now();
  Quit(10s);
  EXPECT_LT(std::chrono::steady_clock::now() - quit, 1500ms);
  const std::string log = ReadFileBytes(dir_.File("Error.log"));
  const std::string guarded =
      "| 0 | Spooldatei 'SPOOL.PRN' wird ohne Lease bewacht: sie wird nur geleert, wenn "
      "kein anderes Programm sie geoeffnet hat und ihre Groesse gleich blieb.\r\n";
  EXPECT_EQ(log.find(guarded) != std::string::npos, GetParam()) << log;
  EXPECT_EQ(log.find(guarded), log.rfind(guarded)) << "logged more than once";
}

TEST_P(SpoolSharing, ConcurrentWritersLoseAndDuplicateNothing) {
  // A page break every 300 lines per writer; a 5 m page holds the 900 lines of three writers.
  Start("PDF:PDF", "5000", GetParam());
  constexpr int kWriters = 3;
  constexpr int kLines = 1500;
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(::fork());
    if (writers.back() != 0) continue;
    // Bursts for three seconds; the guard takes the file only once it stood still for a pass (200 ms).
    const int burst = GetParam() ? 150 : 50;
    for (int n = 0; n < kLines; ++n) {
      const std::string end = n % 300 == 299 ? "\r\n\f" : "\r\n";
      if (!AppendToFile(spool_, "W" + std::to_string(w) + " " + std::to_string(n) + end)) ::_exit(2);
      if (n % burst == burst - 1) ::usleep(GetParam() ? 400'000 : 100'000);
    }
    ::_exit(0);
  }
  for (pid_t pid : writers) {
    int status = 1;
    EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && status == 0);
  }
  Quit();

  std::string everything = ReadFileBytes(spool_);
  EXPECT_GT(Files("PDF").size(), GetParam() ? 2u : 5u) << "the writers should have spanned many takes";
  for (const std::string& pdf : Files("PDF")) everything += PdfText(pdf);
  std::vector<std::vector<int>> seen(kWriters, std::vector<int>(kLines));
  const std::regex line("W([0-9])\\s+([0-9]+)");
  for (auto it = std::sregex_iterator(everything.begin(), everything.end(), line);
       it != std::sregex_iterator(); ++it) {
    ++seen.at(std::stoul((*it)[1])).at(std::stoul((*it)[2]));
  }
  for (const std::vector<int>& counts : seen) EXPECT_EQ(std::count(counts.begin(), counts.end(), 1), kLines);
}

TEST_F(SpoolEndToEnd, QuitPrintsTheJobInHandAndEveryQueuedOneInOrder) {
  Start();
  // Long enough to be still printing while three more are taken (pages cost more under ASan).
#ifdef __SANITIZE_ADDRESS__
  constexpr int kPages = 1000;
#else
  constexpr int kPages = 8000;
#endif
  std::string job = "Auftrag 1\r\n";
  for (int page = 0; page < kPages; ++page) job += "\fSeite\r\n";
  for (int n = 1; n <= 4; ++n) {
    ASSERT_TRUE(AppendToFile(spool_, n == 1 ? job : "Auftrag " + std::to_string(n) + "\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return Stat(spool_).st_size == 0; }, 10s));
  }
  EXPECT_LT(Files("PDF").size(), 4u) << "all jobs were done before the quit; make the first one longer";
  Quit();
  ASSERT_EQ(Files("PDF").size(), 4u);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_NE(PdfText(Files("PDF")[n - 1]).find("Auftrag " + std::to_string(n)), std::string::npos) << n;
  }
}

TEST_F(SpoolEndToEnd, JobsForAMissingPrinterAreLoggedAndKept) {
  Start("Nirgendwo");
  for (std::size_t n = 1; n <= 2; ++n) {
    ASSERT_TRUE(AppendToFile(spool_, "Auftrag\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return Files("Ungedruckt").size() == n; }, 20s));
  }
  EXPECT_EQ(ReadFileBytes(Files("Ungedruckt")[1]), "Auftrag\r\n");
  // Once at start, before any job, and again with each job.
  EXPECT_TRUE(
      WaitUntil([&] { return LogCount("| 0 | Druckdaten gespeichert unter 'Ungedruckt/") == 2; }, 10s));
  EXPECT_EQ(LogCount("| 0 | Drucker 'Nirgendwo' konnte nicht initialisiert werden.\r\n"), 3u);
  const std::string err = Quit().err;
  EXPECT_TRUE(err.starts_with("Job_1: Spooldatei '" + spool_ + "', Emulation Basic, Drucker 'Nirgendwo'\n"))
      << err;
}

TEST_F(SpoolEndToEnd, ASpoolFolderThatIsMissingAtStartIsLoggedAndAgainOnceItIsThere) {
  testing::WriteFileBytes(dir_.File("Settings.ini"),
                          "[Main]\n[Job_1]\nPath = later/SPOOL.PRN\nPrinter = PDF:PDF\nEmulation = ESC/P2\n");
  Restart();
  const std::string missing = "Spooldatei '" + dir_.File("later/SPOOL.PRN") +
                              "' kann nicht angelegt werden: der Ordner '" + dir_.File("later") + "' fehlt.";
  ASSERT_TRUE(WaitUntil([&] { return LogCount(missing) == 1; }, 10s));
  std::this_thread::sleep_for(1s);  // a few passes more, none of them logged
  std::filesystem::create_directory(dir_.File("later"));
  ASSERT_TRUE(WaitUntil([&] { return LogCount("later/SPOOL.PRN' ist jetzt verwendbar.") == 1; }, 10s));
  ASSERT_TRUE(AppendToFile(dir_.File("later/SPOOL.PRN"), "Hallo\r\n"));
  EXPECT_TRUE(WaitForPdfs(1));
  const std::string err = Quit().err;
  EXPECT_EQ(LogCount(missing), 1u);
  EXPECT_NE(err.find("Job_1: Spooldatei '" + dir_.File("later/SPOOL.PRN") +
                     "', Emulation ESC/P2, Drucker 'PDF:PDF'\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find(missing), std::string::npos) << err;
}

// Writers append numbered lines, now and then a long job, while the program is killed at random moments
// and started again. Every line comes out; a line comes out twice only as part of a whole document printed
// again (its take was in flight at a kill); nothing half-written stays behind.
TEST_F(SpoolEndToEnd, KilledAtRandomMomentsLosesNoLine) {
#ifdef __SANITIZE_ADDRESS__
  constexpr int kCycles = 8;
  constexpr int kLongPages = 150;
#else
  constexpr int kCycles = 14;
  constexpr int kLongPages = 1500;
#endif
  Start();
  const pid_t writer = ::fork();
  if (writer == 0) {
    int n = 0;
    for (; !testing::FileExists(dir_.File("stop")); ++n) {
      const std::string line = "Z" + std::to_string(n) + "\r\n";
      if (!AppendToFile(spool_, n % 25 == 24 ? line + std::string(kLongPages, '\f') : line)) ::_exit(2);
      ::usleep(15 * 1000);
    }
    testing::WriteFileBytes(dir_.File("written"), std::to_string(n));
    ::_exit(0);
  }
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  int duringLongJobs = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    if (cycle % 3 == 2) {
      // Wait for a long job on its way, then kill while it prints.
      WaitUntil([&] {
        for (const std::string& take : Files("Warteschlange")) {
          if (std::filesystem::file_size(take) > kLongPages) return true;
        }
        return false;
      }, 5s);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(50, 500)(random)));
    const std::vector<std::string> takes = Files("Warteschlange");
    duringLongJobs += std::any_of(takes.begin(), takes.end(), [&](const std::string& take) {
      std::error_code error;
      return std::filesystem::file_size(take, error) > kLongPages;
    });
    program_->Signal(SIGKILL);
    program_->Wait(10s);
    Restart();
  }
  testing::WriteFileBytes(dir_.File("stop"), "");
  int status = 1;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_EQ(status, 0);
  const int written = std::stoi(ReadFileBytes(dir_.File("written")));
  ASSERT_TRUE(WaitUntil([&] { return Stat(spool_).st_size == 0 && Files("Warteschlange").empty(); }, 60s));
  Quit();

  // Each document's lines; a document equal to an earlier one is a reprint of a take in flight.
  std::map<int, int> printed;
  std::set<std::vector<int>> documents;
  int reprints = 0;
  const std::regex number("Z([0-9]+)");
  for (const std::string& pdf : Files("PDF")) {
    const std::string text = PdfText(pdf);
    std::vector<int> lines;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it) {
      lines.push_back(std::stoi((*it)[1]));
    }
    if (!documents.insert(lines).second) {
      ++reprints;
      continue;
    }
    for (const int line : lines) ++printed[line];
  }
  std::cout << "kill test (seed " << seed << "): " << kCycles << " kills, " << duringLongJobs
            << " during long jobs, " << written << " lines, " << Files("PDF").size() << " documents, "
            << reprints << " reprinted\n";
  for (int n = 0; n < written; ++n) EXPECT_EQ(printed[n], 1) << "line " << n << ", seed " << seed;
  EXPECT_EQ(printed.size(), static_cast<std::size_t>(written));
  EXPECT_LE(reprints, kCycles);
  EXPECT_GT(duringLongJobs, 0);
  EXPECT_TRUE(Files("PDF", true).empty()) << "half-written PDFs left behind";
  EXPECT_TRUE(Files("Ungedruckt").empty());
}

}  // namespace
}  // namespace quillmark
