#include "spool/spool_watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"

namespace quillmark {
namespace {

struct Faults {
  std::string bytes = "keep these bytes";
  std::int64_t size = 0;   // what Size() reports instead of the length, when not 0
  bool shortRead = false;  // Read() delivers one byte less than asked
  bool failEmpty = false;  // Empty() refuses, as after a lost lease
  SpoolNotice notice = SpoolNotice::kNone;
};

struct FaultyFile final : SpoolFile {
  explicit FaultyFile(Faults& faults) : f(faults) {}
  std::int64_t Size() override { return f.size != 0 ? f.size : std::ssize(f.bytes); }
  std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    const std::int64_t count = std::min(length, std::ssize(f.bytes) - offset) - (f.shortRead ? 1 : 0);
    std::copy_n(f.bytes.begin() + offset, count, buffer);
    return count;
  }
  FileStatus Empty(std::int64_t) override {
    if (f.failEmpty) return FileStatus::Failed({}, "lease broken");
    f.bytes.clear();
    return FileStatus::Done();
  }
  Faults& f;
};

struct FaultySpoolFiles final : SpoolFiles {
  std::unique_ptr<SpoolFile> Open(const std::string&, SpoolNotice& notice) override {
    notice = f.notice;
    if (notice == SpoolNotice::kNotRegular || notice == SpoolNotice::kInUse) return nullptr;
    return std::make_unique<FaultyFile>(f);
  }
  Faults f;
};

// A take that cannot be made whole, or kept on disk, leaves the bytes where they are, queues nothing and
// logs at most once.
TEST(SpoolWatcherTest, FileThatCannotBeTakenWholeIsLeftAlone) {
  const std::string unreadable =
      "Spooldatei 'SPOOL.PRN' konnte nicht gelesen werden und bleibt unveraendert.";
  const struct {
    std::int64_t size = 0;  // what Size() reports, when not 0
    bool shortRead = false, failEmpty = false, failKeep = false;
    SpoolNotice notice = SpoolNotice::kNone;
    std::string logged = "";
    bool taken = false;
  } cases[] = {
      {.taken = true},
      {.shortRead = true, .logged = unreadable},
      {.size = -1, .logged = unreadable},
      {.failEmpty = true},
      {.size = std::int64_t{1} << 31,
       .logged = "Spooldatei 'SPOOL.PRN' ist zu gross (2147483648 Bytes) und wird nicht gelesen."},
      {.failKeep = true,
       .logged = "Spooldatei 'SPOOL.PRN' bleibt unveraendert: ihre Daten konnten nicht in 'Warteschlange' "
                 "gesichert werden. (Warteschlange/000000000003-0.tmp: No space left on device)\r\n"},
      {.notice = SpoolNotice::kNotRegular,
       .logged = "Spooldatei 'SPOOL.PRN' ist keine gewoehnliche Datei (FIFO, Geraet oder Ordner) und wird "
                 "nicht geoeffnet."},
      {.notice = SpoolNotice::kGuardedWithoutLease,
       .logged = "Spooldatei 'SPOOL.PRN' wird ohne Lease bewacht: sie wird nur geleert, wenn kein anderes "
                 "Programm sie geoeffnet hat und ihre Groesse gleich blieb.",
       .taken = true},
      {.notice = SpoolNotice::kInUse,  // held by another program for over a minute
       .logged =
           "Spooldatei 'SPOOL.PRN' ist seit ueber 60 Sekunden von einem anderen Programm geoeffnet; sie "
           "wird gedruckt, sobald es sie schliesst."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    ProgramState state;
    state.JobList.emplace_back().Path.Assign("SPOOL.PRN");
    FaultySpoolFiles spool;
    spool.f.size = c.size;
    spool.f.shortRead = c.shortRead;
    spool.f.failEmpty = c.failEmpty;
    spool.f.notice = c.notice;
    testing::MemoryFileSystem logFiles;
    logFiles.FailDurableWrites(c.failKeep);
    TakeStore store(logFiles);
    testing::FixedClock clock;
    ErrorLog log(logFiles, clock);
    SpoolWatcherMemory memory;
    memory.InUseSince["SPOOL.PRN"] = std::chrono::steady_clock::now() - std::chrono::seconds(61);
    for (int pass = 0; pass < 3; ++pass) RunSpoolPass(state, spool, store, log, memory);

    // A job is queued as soon as its take is read; only a take that left the file is delivered.
    const auto taken = std::count_if(state.PrintQueue.begin(), state.PrintQueue.end(),
                                     [](const PrintJob& job) { return job.Gate->Wait(); });
    EXPECT_EQ(taken, c.taken ? 1 : 0);
    EXPECT_EQ(spool.f.bytes, c.taken ? "" : "keep these bytes");
    // The take is on disk before the file is emptied, and only while it is out of the file.
    const std::string kept = "Warteschlange/000000000001-0.prn";  // renamed once the file is empty
    EXPECT_EQ(logFiles.List("Warteschlange").size(), c.taken ? 1u : 0u);
    if (c.taken) {
      EXPECT_EQ(logFiles.Get(kept) + state.PrintQueue.front().Gate->Path(), "keep these bytes" + kept);
    }
    const std::string written = logFiles.Get("Error.log");
    const std::size_t at = written.find(c.logged);  // once per run, not once per pass
    EXPECT_NE(at, std::string::npos) << written;
    EXPECT_EQ(written.find("Spooldatei", at + 1), std::string::npos) << written;
    if (c.notice != SpoolNotice::kInUse) continue;
    spool.f.notice = SpoolNotice::kNone;  // closed at last: read again, and the take goes
    RunSpoolPass(state, spool, store, log, memory);
    EXPECT_NE(logFiles.Get("Error.log").find("Spooldatei 'SPOOL.PRN' wird wieder gelesen."),
              std::string::npos);
    EXPECT_EQ(spool.f.bytes, "");
  }
}

}  // namespace
}  // namespace quillmark
