#include "spool/spool_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/fake_spool_files.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"

namespace quillmark {
namespace {

using testing::FakeSpoolFiles;

JobSettings Slot(std::int32_t number, const std::string& path) {
  JobSettings settings;
  settings.JobNumber = number;
  settings.Path.Assign(path);
  settings.Printer.Assign("PDF:out");
  settings.CharSet = 255;
  settings.PositionMode = 1;
  settings.PaperWidth = 210.0f;
  settings.PaperHeight = 297.0f;
  settings.BorderTop = 10.7f;
  settings.BorderLeft = 9.75f;
  return settings;
}

std::string Bytes(const PrintJob& job) {
  return std::string(reinterpret_cast<const char*>(job.Data.get()), static_cast<std::size_t>(job.DataLength));
}

class SpoolWatcherTest : public ::testing::Test {
 protected:
  SpoolWatcherTest() { state_.JobList.push_back(Slot(1, "LPT1.PRN")); }

  std::vector<PrintJob> TakeAll() {
    std::vector<PrintJob> jobs;
    PrintJob job;
    while (TakePrintJob(state_, job)) jobs.push_back(std::move(job));
    return jobs;
  }
  int LogLines() const {
    const std::string log = logFiles_.Get("Error.log");
    int lines = 0;
    for (std::size_t at = log.find("Spooldatei"); at != std::string::npos;
         at = log.find("Spooldatei", at + 1)) {
      ++lines;
    }
    return lines;
  }

  ProgramState state_;
  FakeSpoolFiles spool_;
  testing::MemoryFileSystem logFiles_;
  testing::FixedClock clock_;
  ErrorLog log_{logFiles_, clock_};
};

TEST_F(SpoolWatcherTest, WholeContentBecomesOneJobAndTheFileIsEmptied) {
  const std::string bytes(
      "\x1b"
      "E\x8e\x99\0"
      "AB\r\n\x0c",
      10);
  spool_.Put("LPT1.PRN", bytes);
  RunSpoolPass(state_, spool_, log_);

  std::vector<PrintJob> jobs = TakeAll();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].DataLength, 10);
  EXPECT_EQ(Bytes(jobs[0]), bytes);
  EXPECT_EQ(jobs[0].Settings, state_.JobList[0]);
  EXPECT_EQ(jobs[0].DeviceContext, nullptr);
  EXPECT_EQ(jobs[0].X, 0);
  EXPECT_EQ(jobs[0].Pitch, 0);
  EXPECT_EQ(spool_.Get("LPT1.PRN").bytes, "");
  EXPECT_EQ(LogLines(), 0);
}

// Every way a take can fail must leave the file's bytes where they are and queue nothing.
TEST_F(SpoolWatcherTest, FileThatCannotBeTakenWholeIsLeftAlone) {
  struct Case {
    const char* name;
    void (*set)(FakeSpoolFiles::Entry&);
    const char* logged;  // nullptr: nothing logged
  };
  const Case cases[] = {
      {"open refused", [](FakeSpoolFiles::Entry& e) { e.refuse = true; }, nullptr},
      {"short read", [](FakeSpoolFiles::Entry& e) { e.shortRead = true; },
       "Spooldatei 'LPT1.PRN' konnte nicht gelesen werden und bleibt unveraendert."},
      {"size unreadable", [](FakeSpoolFiles::Entry& e) { e.claimedSize = -1; },
       "Spooldatei 'LPT1.PRN' konnte nicht gelesen werden und bleibt unveraendert."},
      {"emptying refused", [](FakeSpoolFiles::Entry& e) { e.failEmpty = true; }, nullptr},
      {"2 GiB", [](FakeSpoolFiles::Entry& e) { e.claimedSize = std::int64_t{1} << 31; },
       "Spooldatei 'LPT1.PRN' ist zu gross (2147483648 Bytes) und wird nicht gelesen."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramState state;
    state.JobList.push_back(Slot(1, "LPT1.PRN"));
    FakeSpoolFiles spool;
    testing::MemoryFileSystem logFiles;
    ErrorLog log(logFiles, clock_);
    spool.Put("LPT1.PRN", "keep these bytes");
    spool.With("LPT1.PRN", c.set);

    SpoolWatcherMemory memory;
    for (int pass = 0; pass < 3; ++pass) RunSpoolPass(state, spool, log, memory);

    EXPECT_EQ(state.PrintQueueSize.load(), 0u);
    EXPECT_EQ(spool.Get("LPT1.PRN").bytes, "keep these bytes");
    EXPECT_EQ(spool.Get("LPT1.PRN").opens, 3);
    const std::string written = logFiles.Get("Error.log");
    if (c.logged == nullptr) {
      EXPECT_EQ(written, "");
    } else {
      // Once per run, not once per pass.
      const std::size_t first = written.find(c.logged);
      ASSERT_NE(first, std::string::npos) << written;
      EXPECT_EQ(written.find(c.logged, first + 1), std::string::npos) << written;
      EXPECT_NE(written.find("|                                  | 0 | Spooldatei"), std::string::npos)
          << written;
    }
  }
}

TEST_F(SpoolWatcherTest, CollectingSlotKeepsItsData) {
  state_.JobList[0].CollectMode = 1;
  spool_.Put("LPT1.PRN", "held");
  RunSpoolPass(state_, spool_, log_);
  EXPECT_EQ(state_.PrintQueueSize.load(), 0u);
  EXPECT_EQ(spool_.Get("LPT1.PRN").bytes, "held");
}

TEST_F(SpoolWatcherTest, QuitFlagSetBeforehandEndsTheWatcherAfterOnePass) {
  spool_.Put("LPT1.PRN", "last words");
  state_.QuitFlag.store(true);
  const auto start = std::chrono::steady_clock::now();
  SpoolWatcher(state_, spool_, log_);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(spool_.Get("LPT1.PRN").opens, 1);
  std::vector<PrintJob> jobs = TakeAll();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(Bytes(jobs[0]), "last words");
}

}  // namespace
}  // namespace quillmark
