#include "spool/spool_watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  bool failEmpty = false;
};

struct FaultyFile final : SpoolFile {
  explicit FaultyFile(Faults& faults) : f(faults) {}
  std::int64_t Size() override { return f.size != 0 ? f.size : std::ssize(f.bytes); }
  std::int64_t Read(std::uint8_t* buffer, std::int64_t length) override {
    const std::int64_t count = std::min(length, std::ssize(f.bytes)) - (f.shortRead ? 1 : 0);
    std::copy_n(f.bytes.begin(), count, buffer);
    return count;
  }
  bool Empty() override {
    if (!f.failEmpty) f.bytes.clear();
    return !f.failEmpty;
  }
  Faults& f;
};

struct FaultySpoolFiles final : SpoolFiles {
  std::unique_ptr<SpoolFile> Open(const std::string&) override { return std::make_unique<FaultyFile>(f); }
  Faults f;
};

// A take that cannot be made whole leaves the bytes where they are, queues nothing and logs at most once.
TEST(SpoolWatcherTest, FileThatCannotBeTakenWholeIsLeftAlone) {
  const std::string unreadable = "Spooldatei 'SPOOL.PRN' konnte nicht gelesen werden und bleibt unveraendert.";
  const struct {
    std::int64_t size;
    bool shortRead;
    bool failEmpty;
    std::string logged;
    bool taken;
  } cases[] = {
      {0, false, false, "", true},
      {0, true, false, unreadable, false},
      {-1, false, false, unreadable, false},
      {0, false, true, "", false},
      {std::int64_t{1} << 31, false, false,
       "Spooldatei 'SPOOL.PRN' ist zu gross (2147483648 Bytes) und wird nicht gelesen.", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    ProgramState state;
    state.JobList.emplace_back().Path.Assign("SPOOL.PRN");
    FaultySpoolFiles spool;
    spool.f.size = c.size;
    spool.f.shortRead = c.shortRead;
    spool.f.failEmpty = c.failEmpty;
    testing::MemoryFileSystem logFiles;
    testing::FixedClock clock;
    ErrorLog log(logFiles, clock);
    SpoolWatcherMemory memory;
    for (int pass = 0; pass < 3; ++pass) RunSpoolPass(state, spool, log, memory);

    EXPECT_EQ(state.PrintQueueSize, c.taken ? 1u : 0u);
    EXPECT_EQ(spool.f.bytes, c.taken ? "" : "keep these bytes");
    const std::string written = logFiles.Get("Error.log");
    const std::size_t at = written.find(c.logged);  // once per run, not once per pass
    EXPECT_NE(at, std::string::npos) << written;
    EXPECT_EQ(written.find("Spooldatei", at + 1), std::string::npos) << written;
  }
}

}  // namespace
}  // namespace quillmark
