// The spool watcher and the print worker on their own threads, with a real spool file and fake printers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include "platform/posix/posix_spool_files.h"
#include "spool/print_worker.h"
#include "spool/spool_watcher.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/program_runner.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// Real spool files whose opening the test can hold up, to stop the watcher in the middle of a pass.
class HeldSpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override {
    std::lock_guard held(hold);
    return files_.Open(path, notice);
  }
  std::mutex hold;

 private:
  PosixSpoolFiles files_;
};

TEST(SpoolPipelineThreads, QuitPrintsEveryQueuedJobInOrderAndWaitsForTheLastPass) {
  testing::TempDir dir;
  const std::string path = dir.File("SPOOL.PRN");
  ProgramState state;
  state.JobList.emplace_back().Path.Assign(path);
  state.JobList[0].Printer.Assign("Office");
  HeldSpoolFiles spool;
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("Office");
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log(files, clock);
  TakeStore store(files);
  std::atomic<bool> watcherEnded{false};
  std::thread watcher([&] {
    SpoolWatcher(state, spool, store, log);
    watcherEnded = true;
    WakeQueueWaiters(state);
  });
  for (std::size_t n = 1; n <= 4; ++n) {
    testing::WriteFileBytes(path, "job" + std::to_string(n));
    EXPECT_TRUE(WaitUntil([&] { return state.PrintQueueSize == n; }, 5s));
  }
  // Quit while a pass waits to take more: the worker, done with the queue, must wait for the watcher.
  std::unique_lock held(spool.hold);
  testing::WriteFileBytes(path, "late");
  std::this_thread::sleep_for(300ms);
  SetQuitFlag(state);
  std::thread worker([&] { PrintWorker(state, printers, store, log, watcherEnded); });
  std::this_thread::sleep_for(1200ms);
  held.unlock();
  watcher.join();
  worker.join();
  // A line per document with its characters; the footer is drawn in one piece and left out.
  EXPECT_EQ(
      std::regex_replace(printers.Transcript(), std::regex("text '(.)' at.*\n|start doc.*(\n)|.*\n"), "$1$2"),
      "\njob1\njob2\njob3\njob4\nlate");
  EXPECT_EQ(testing::ReadFileBytes(path), "");
}

}  // namespace
}  // namespace quillmark
