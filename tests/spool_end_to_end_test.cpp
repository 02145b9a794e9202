// The real quillmark executable in a temporary directory, printing spool files to PDFs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/pdf_reader.h"
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
 public:
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

  // The text of the first `pages` pages, of all when 0 (then read by two PDF readers).
  std::string PdfText(const std::string& path, int pages = 0) const {
    if (pages == 0) return testing::ReadPdfText(path);
    return testing::RunProgram({"/usr/bin/pdftotext", "-layout", "-l", std::to_string(pages), path, "-"},
                               dir_.path(), 120s)
        .out;
  }

  bool LogHas(const std::string& text) const {
    return ReadFileBytes(dir_.File("Error.log")).find(text) != std::string::npos;
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
// A further working folder inside one test, for table rows that each need their own.
struct Folder final : SpoolEndToEnd {
  void TestBody() override {}
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

  // Its close is seen: the next writer's bytes are taken, a take of many blocks (one long line) as well.
  ASSERT_TRUE(AppendToFile(spool_, "Hallo Welt\r\n" + std::string(5'000'000, 'x') + "\r\nSchluss"));
  ASSERT_TRUE(WaitForPdfs(2));
  EXPECT_TRUE(std::regex_search(PdfText(Files("PDF")[1]), std::regex("Hallo Welt[\\s\\S]*Schluss")));
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
    // Bursts for three seconds; the guard takes the file only once it stood still for a pass (200 ms). The
    // first burst waits until the file was taken, so that the writers span two takes at least however slow
    // the machine is.
    const int burst = GetParam() ? 150 : 50;
    for (int n = 0; n < kLines; ++n) {
      const std::string end = n % 300 == 299 ? "\r\n\f" : "\r\n";
      if (!AppendToFile(spool_, "W" + std::to_string(w) + " " + std::to_string(n) + end)) ::_exit(2);
      if (n == burst - 1) WaitUntil([&] { return Stat(spool_).st_size == 0; }, 20s);
      if (n % burst == burst - 1) ::usleep(GetParam() ? 400'000 : 100'000);
    }
    ::_exit(0);
  }
  for (pid_t pid : writers) {
    int status = 1;
    EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && status == 0);
  }
  // The rest is taken once the writers are gone, however busy the machine.
  EXPECT_TRUE(WaitUntil([&] { return Stat(spool_).st_size == 0; }, 30s));
  Quit();

  std::string everything = ReadFileBytes(spool_);
  EXPECT_GE(Files("PDF").size(), 2u) << "the writers should have spanned several takes";
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
  // The first job must be still printing while three more are taken. How long a page takes depends on the
  // machine (and on ASan), so a first job that was done too soon is made four times longer and tried again.
#ifdef __SANITIZE_ADDRESS__
  int pages = 8000;
#else
  int pages = 60000;
#endif
  for (int attempt = 1;; ++attempt, pages *= 4) {
    std::string job = "Auftrag 1\r\n";
    for (int page = 0; page < pages; ++page) job += "\fSeite\r\n";
    for (int n = 1; n <= 4; ++n) {
      ASSERT_TRUE(AppendToFile(spool_, n == 1 ? job : "Auftrag " + std::to_string(n) + "\r\n"));
      ASSERT_TRUE(WaitUntil([&] { return Stat(spool_).st_size == 0; }, 10s));
    }
    if (Files("PDF").size() < 4) break;
    ASSERT_LT(attempt, 4) << "all jobs were done before the quit even with " << pages << " pages";
    Quit();
    std::filesystem::remove_all(dir_.File("PDF"));
    Restart();
  }
  Quit();
  ASSERT_EQ(Files("PDF").size(), 4u);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_NE(PdfText(Files("PDF")[n - 1], 1).find("Auftrag " + std::to_string(n)), std::string::npos) << n;
  }
}

TEST_F(SpoolEndToEnd, JobsForAMissingPrinterAreLoggedAndKept) {
  Start("Nirgendwo");
  for (std::size_t n = 1; n <= 2; ++n) {
    ASSERT_TRUE(AppendToFile(spool_, "Auftrag\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return Files("Ungedruckt").size() == n; }, 20s));
  }
  EXPECT_EQ(ReadFileBytes(Files("Ungedruckt")[1]), "Auftrag\r\n");
  EXPECT_EQ(Stat(Files("Ungedruckt")[1]).st_mode & 0777, 0600u) << "a printout is its owner's to read";
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
  // Seeded from the test's name: a failure names its seed and runs again with the same moments.
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::uint32_t seed = 2166136261u;  // FNV-1a
  for (const char c : std::string(test->test_suite_name()) + "." + test->name()) {
    seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  int duringLongJobs = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    // Every third kill waits for a long job on its way and strikes while it prints; the others at a
    // random moment.
    const int pause = std::uniform_int_distribution(50, 500)(random);
    const bool longJob =
        cycle % 3 == 2 && WaitUntil(
                              [&] {
                                for (const std::string& take : Files("Warteschlange")) {
                                  std::error_code error;
                                  if (std::filesystem::file_size(take, error) > kLongPages && !error)
                                    return true;
                                }
                                return false;
                              },
                              20s);
    // A long job is struck at once: a fast machine prints it within milliseconds.
    if (!longJob) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    const std::vector<std::string> takes = Files("Warteschlange");
    duringLongJobs += std::any_of(takes.begin(), takes.end(), [&](const std::string& take) {
      std::error_code error;
      return std::filesystem::file_size(take, error) > kLongPages && !error;
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
  const auto count = [&](const std::string& text) {
    static const std::regex number("Z([0-9]+)");
    std::vector<int> lines;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator();
         ++it) {
      lines.push_back(std::stoi((*it)[1]));
    }
    if (!documents.insert(lines).second) {
      ++reprints;
      return;
    }
    for (const int line : lines) ++printed[line];
  };
  for (const std::string& pdf : Files("PDF")) count(PdfText(pdf));
  // A take that was printing at three kills in a row is set aside as one that ends the program: kept whole
  // under Ungedruckt/ and logged, not lost. Delivered already at its last try, it counts as a reprint.
  for (const std::string& kept : Files("Ungedruckt")) count(ReadFileBytes(kept));
  EXPECT_EQ(Files("Ungedruckt").empty(), !LogHas("-mal beim Drucken beendet"));
  std::cout << "kill test (seed " << seed << "): " << kCycles << " kills, " << duringLongJobs
            << " during long jobs, " << written << " lines, " << Files("PDF").size() << " documents, "
            << reprints << " reprinted, " << Files("Ungedruckt").size() << " set aside\n";
  for (int n = 0; n < written; ++n) EXPECT_EQ(printed[n], 1) << "line " << n << ", seed " << seed;
  EXPECT_EQ(printed.size(), static_cast<std::size_t>(written));
  EXPECT_LE(reprints, kCycles);
  EXPECT_GT(duringLongJobs, 0);
  EXPECT_TRUE(Files("PDF", true).empty()) << "half-written PDFs left behind";
}

// Runs `command` in `dir` as nobody, the way another user of a shared working folder would.
void AsNobody(const std::string& dir, const std::vector<std::string>& command) {
  std::vector<std::string> full{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  full.insert(full.end(), command.begin(), command.end());
  const testing::ProgramResult result = testing::RunProgram(full, dir, 10s);
  ASSERT_EQ(result.exitCode, 0) << result.err;
}

// The program runs as root (a system service) in a folder that another user may write to. Links that user
// planted are never followed; links of the program's own user are.
TEST_F(SpoolEndToEnd, LinksOfAnotherUserAreNeverFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant links as another user";
  const std::string refused = "symbolic link of another user (uid 65534), not followed";
  const struct {
    std::string name;
    std::string printer = "PDF:PDF";
    std::function<void(const std::string&)> plant;  // in the working folder, before the start
    std::string job = "";                           // appended once the program runs
    std::string logged = "";
    std::function<void(const SpoolEndToEnd&)> check;
  } cases[] = {
      {.name = "spool file linked to a root-only file",
       .plant =
           [](const std::string& dir) {
             AsNobody(dir, {"/bin/ln", "-s", "geheim", "SPOOL.PRN"});
           },
       .logged =
           "Spooldatei 'SPOOL.PRN' ist ein Link (symbolisch oder mit mehreren Namen) und wird nicht geleert.",
       .check = [](const SpoolEndToEnd& t) { EXPECT_TRUE(t.Files("PDF").empty()); }},
      {.name = "spool file linked to a file that does not exist",
       .plant =
           [](const std::string& dir) {
             AsNobody(dir, {"/bin/ln", "-s", "erzeugt", "SPOOL.PRN"});
           },
       .logged = "Spooldatei 'SPOOL.PRN' ist ein Link",
       .check = [](const SpoolEndToEnd& t) { EXPECT_FALSE(testing::FileExists(t.dir_.File("erzeugt"))); }},
      {.name = "spool file hard-linked to a root-only file",
       .plant =
           [](const std::string& dir) {
             ASSERT_EQ(::link((dir + "/geheim").c_str(), (dir + "/SPOOL.PRN").c_str()), 0);
           },
       .logged = "Spooldatei 'SPOOL.PRN' ist ein Link",
       .check = [](const SpoolEndToEnd& t) { EXPECT_TRUE(t.Files("PDF").empty()); }},
      {.name = "Ungedruckt linked elsewhere",
       .printer = "Nirgendwo",
       .plant =
           [](const std::string& dir) {
             AsNobody(dir, {"/bin/ln", "-s", "anderswo", "Ungedruckt"});
           },
       .job = "Auftrag\r\n",
       .logged =
           "konnten nicht unter 'Ungedruckt' gespeichert werden; der Auftrag bleibt in der Warteschlange. "
           "(Ungedruckt: " +
           refused + ")",
       .check =
           [](const SpoolEndToEnd& t) {
             EXPECT_TRUE(t.Files("anderswo").empty());
             EXPECT_EQ(t.Files("Warteschlange").size(), 1u) << "the take stays queued";
           }},
      {.name = "PDF folder linked elsewhere",
       .plant =
           [](const std::string& dir) {
             AsNobody(dir, {"/bin/ln", "-s", "anderswo", "PDF"});
             testing::WriteFileBytes(dir + "/anderswo/.quillmark-abcdef.part", "nobody's");
           },
       .job = "Auftrag\r\n",
       .logged = "Drucker 'PDF:PDF' konnte das Dokument nicht ausgeben. (PDF: " + refused + ")",
       .check =
           [](const SpoolEndToEnd& t) {
             EXPECT_EQ(t.Files("anderswo", true).size(), 1u) << "its files are not removed";
             EXPECT_TRUE(t.Files("anderswo").empty());
             EXPECT_EQ(t.Files("Ungedruckt").size(), 1u);
           }},
      {.name = "PDF folder linked by the program's own user",
       .plant =
           [](const std::string& dir) {
             std::filesystem::create_directory_symlink("anderswo", dir + "/PDF");
           },
       .job = "Auftrag\r\n",
       .check = [](const SpoolEndToEnd& t) { EXPECT_EQ(t.Files("anderswo").size(), 1u); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Folder t;
    ASSERT_EQ(::chmod(t.dir_.path().c_str(), 0777), 0);
    testing::WriteFileBytes(t.dir_.File("geheim"), "root only\n");
    ASSERT_EQ(::chmod(t.dir_.File("geheim").c_str(), 0600), 0);
    std::filesystem::create_directory(t.dir_.File("anderswo"));
    ASSERT_EQ(::chmod(t.dir_.File("anderswo").c_str(), 0777), 0);
    testing::WriteFileBytes(t.dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = " + c.printer + "\r\n");
    c.plant(t.dir_.path());
    t.Restart();
    ASSERT_TRUE(
        WaitUntil([&] { return testing::FileExists(t.dir_.File("SPOOL.PRN")) || t.LogHas("Link"); }, 10s));
    if (!c.job.empty()) {
      ASSERT_TRUE(AppendToFile(t.spool_, c.job));
    }
    if (c.logged.empty()) {
      WaitUntil([&] { return !t.Files("anderswo").empty(); }, 20s);
    } else {
      EXPECT_TRUE(WaitUntil([&] { return t.LogHas(c.logged); }, 20s))
          << ReadFileBytes(t.dir_.File("Error.log"));
    }
    t.Quit();
    EXPECT_EQ(ReadFileBytes(t.dir_.File("geheim")), "root only\n");
    c.check(t);
  }
}

// A second start in the same folder would take the first one's queue for leftovers and print it again.
TEST_F(SpoolEndToEnd, SecondInstanceInTheSameFolderEndsAtOnce) {
  Start();
  const testing::ProgramResult second = testing::RunProgram(command_, dir_.path(), 20s);
  EXPECT_EQ(second.exitCode, 1) << second.err;
  EXPECT_NE(second.err.find("Quillmark laeuft in diesem Ordner bereits; dieser zweite Start wird beendet."),
            std::string::npos);
  ASSERT_TRUE(AppendToFile(spool_, "Auftrag\r\n"));
  EXPECT_TRUE(WaitForPdfs(1)) << "the first instance goes on";
  Quit();
}

// Killed between emptying the spool file and committing the take, the next start decides from the record
// kept with the take: a job sent again with the same bytes prints again, one never taken out does not.
// After a kill between the record and the emptying, the record decides; if the file was written to since,
// it still holds the take followed by the new job, and the take is printed from there only.
TEST_F(SpoolEndToEnd, CommitRecordDecidesWhetherTheSpoolFileWasEmptied) {
  const struct {
    const char* trace;
    bool emptied;
    const char* writtenSince;
    std::size_t pdfs;
  } cases[] = {{"emptied, then sent again", true, "", 2},
               {"never emptied", false, "", 1},
               {"never emptied, written to since", false, "Auftrag B\r\n", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    Folder t;
    testing::WriteFileBytes(t.dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n");
    testing::WriteFileBytes(t.spool_, "Auftrag A\r\n");
    // The record: the spool file's device, inode, size and change time before it was emptied.
    const struct stat st = Stat(t.spool_);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%llx.%llx.%llx.%llx.%lx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino), static_cast<unsigned long long>(st.st_size),
                  static_cast<unsigned long long>(st.st_ctim.tv_sec - (c.emptied ? 1 : 0)),
                  static_cast<unsigned long>(st.st_ctim.tv_nsec));
    std::this_thread::sleep_for(10ms);  // past the coarse clock, so that a write changes the stamp
    ASSERT_TRUE(AppendToFile(t.spool_, c.writtenSince));
    std::filesystem::create_directory(t.dir_.File("Warteschlange"));
    testing::WriteFileBytes(t.dir_.File("Warteschlange/000000000001-1~" + std::string(stamp) + ".new"),
                            "Auftrag A\r\n");
    t.Restart();
    EXPECT_TRUE(t.WaitForPdfs(c.pdfs));
    t.Quit();
    std::string text;
    for (const std::string& pdf : t.Files("PDF")) text += t.PdfText(pdf);
    const auto count = [&](const std::string& job) {
      std::size_t n = 0;
      for (auto at = text.find(job); at != std::string::npos; at = text.find(job, at + 1)) ++n;
      return n;
    };
    EXPECT_EQ(count("Auftrag A"), c.pdfs) << text;
    EXPECT_EQ(count("Auftrag B"), *c.writtenSince != '\0' ? 1u : 0u) << text;
  }
}

// A take that ends the program whenever it prints would stop all printing for good; after the third start
// that died on it, it is set aside and the take behind it prints.
TEST_F(SpoolEndToEnd, TakeThatEndsTheProgramThreeTimesIsSetAside) {
  std::string poison = "Gift\r\n";
  for (int page = 0; page < 20000; ++page) poison += "\fSeite\r\n";
  std::filesystem::create_directory(dir_.File("Warteschlange"));
  testing::WriteFileBytes(dir_.File("Warteschlange/000000000001-1.prn"), poison);
  testing::WriteFileBytes(dir_.File("Warteschlange/000000000002-1.prn"), "Danach\r\n");
  testing::WriteFileBytes(dir_.File("Settings.ini"),
                          "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n");
  for (int start = 1; start <= 3; ++start) {
    Restart();
    ASSERT_TRUE(WaitUntil(
        [&] {
          return testing::FileExists(
              dir_.File("Warteschlange/000000000001-1." + std::to_string(start) + ".try"));
        },
        20s));
    program_->Signal(SIGKILL);
    program_->Wait(10s);
  }
  Restart();
  ASSERT_TRUE(WaitForPdfs(1));
  Quit();
  EXPECT_NE(PdfText(Files("PDF")[0]).find("Danach"), std::string::npos);
  ASSERT_EQ(Files("Ungedruckt").size(), 1u);
  EXPECT_EQ(ReadFileBytes(Files("Ungedruckt")[0]), poison);
  EXPECT_TRUE(
      LogHas("Druckauftrag 'Warteschlange/000000000001-1.prn' hat das Programm 3-mal beim Drucken beendet"));
  EXPECT_TRUE(Files("Warteschlange").empty());
}

// The log says why a document could not be written: a full disk, a read-only folder.
TEST_F(SpoolEndToEnd, PdfFolderFailuresNameTheSystemsReason) {
  const struct {
    std::string options;
    std::string reason;
  } cases[] = {{"size=64k", "No space left on device"}, {"ro,size=64k", "Read-only file system"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    Folder t;
    const std::string pdf = t.dir_.File("PDF");
    std::filesystem::create_directory(pdf);
    if (::mount("quillmark-test", pdf.c_str(), "tmpfs", 0, c.options.c_str()) != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    if (c.options == "size=64k") {
      std::ofstream filler(pdf + "/filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), block.size())) {
      }
    }
    testing::WriteFileBytes(t.dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n");
    t.Restart();
    ASSERT_TRUE(WaitUntil([&] { return testing::FileExists(t.spool_); }, 10s));
    ASSERT_TRUE(AppendToFile(t.spool_, "Auftrag\r\n"));
    EXPECT_TRUE(WaitUntil([&] { return t.Files("Ungedruckt").size() == 1; }, 20s));
    t.Quit();
    ::umount2(pdf.c_str(), MNT_DETACH);
    const std::string log = ReadFileBytes(t.dir_.File("Error.log"));
    const std::size_t at = log.find("| 0 | Drucker 'PDF:PDF' konnte das Dokument nicht ausgeben. (PDF");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find(": " + c.reason + ")\r\n", at), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace quillmark
