// The spool watcher and the print worker on their own threads, with in-memory files and printers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "spool/print_worker.h"
#include "spool/spool_watcher.h"
#include "support/fake_spool_files.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/program_runner.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// A door that callers wait at while it is shut; counts who arrived. Open at first.
class Door {
 public:
  void Shut() {
    std::lock_guard lock(mutex_);
    shut_ = true;
  }
  void Pass() {
    std::unique_lock lock(mutex_);
    ++arrived_;
    opened_.wait(lock, [this] { return !shut_; });
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      shut_ = false;
    }
    opened_.notify_all();
  }
  int Arrived() {
    std::lock_guard lock(mutex_);
    return arrived_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool shut_ = false;
  int arrived_ = 0;
};

// Printers whose opening waits at a door, so a document can be kept "printing".
class SlowPrintSystem final : public PrintSystem {
 public:
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override {
    door.Pass();
    return recorder.OpenDevice(settings);
  }
  FontHandle CreateFont(const FontRequest& request) override { return recorder.CreateFont(request); }
  void DeleteFont(FontHandle font) override { recorder.DeleteFont(font); }

  testing::RecordingPrintSystem recorder;
  Door door;
};

// Spool files whose opening waits at a door, so a pass can be held in the middle of a take.
class SlowSpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string& path) override {
    door.Pass();
    return files.Open(path);
  }

  testing::FakeSpoolFiles files;
  Door door;
};

// The text of each document in order, without its footer.
std::vector<std::string> Documents(const std::string& transcript) {
  std::vector<std::string> documents;
  std::istringstream lines(transcript);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("start doc", 0) == 0) documents.emplace_back();
    if (line.rfind("text '", 0) != 0 || line.find("Gedruckt mit") != std::string::npos) continue;
    documents.back() += line.substr(6, line.rfind("' at ") - 6);
  }
  return documents;
}

class SpoolPipelineThreads : public ::testing::Test {
 protected:
  SpoolPipelineThreads() {
    JobSettings slot;
    slot.JobNumber = 1;
    slot.Path.Assign("LPT1.PRN");
    slot.Printer.Assign("Office");
    slot.CharSet = 255;
    slot.PositionMode = 1;
    state_.JobList.push_back(slot);
    printers_.recorder.AddPrinter("Office");
  }
  ~SpoolPipelineThreads() override {
    state_.QuitFlag.store(true);
    printers_.door.Open();
    spool_.door.Open();
    if (watcher_.joinable()) watcher_.join();
    if (worker_.joinable()) worker_.join();
  }

  void Start() {
    watcher_ = std::thread([this] {
      SpoolWatcher(state_, spool_, log_);
      watcherEnded_.store(true);
    });
    worker_ = std::thread([this] {
      PrintWorker(state_, printers_, files_, log_, watcherEnded_);
      workerEnded_.store(true);
    });
  }
  void Join() {
    watcher_.join();
    worker_.join();
  }

  ProgramState state_;
  SlowSpoolFiles spool_;
  SlowPrintSystem printers_;
  testing::MemoryFileSystem files_;
  testing::FixedClock clock_;
  ErrorLog log_{files_, clock_};
  std::atomic<bool> watcherEnded_{false};
  std::atomic<bool> workerEnded_{false};
  std::thread watcher_;
  std::thread worker_;
};

TEST_F(SpoolPipelineThreads, QuitWhileJobsAreQueuedPrintsThemAllInOrder) {
  printers_.door.Shut();
  Start();
  spool_.files.Append("LPT1.PRN", "job1");
  ASSERT_TRUE(WaitUntil([&] { return printers_.door.Arrived() == 1; }, 5s));
  // job1 is printing; three more takes wait in the queue.
  for (std::size_t n = 2; n <= 4; ++n) {
    spool_.files.Append("LPT1.PRN", "job" + std::to_string(n));
    ASSERT_TRUE(WaitUntil([&] { return state_.PrintQueueSize.load() == n - 1; }, 5s));
  }
  state_.QuitFlag.store(true);
  printers_.door.Open();
  Join();
  EXPECT_EQ(Documents(printers_.recorder.Transcript()),
            (std::vector<std::string>{"job1", "job2", "job3", "job4"}));
  EXPECT_EQ(state_.PrintQueueSize.load(), 0u);
}

TEST_F(SpoolPipelineThreads, TakeDuringTheLastPassIsPrinted) {
  spool_.files.Put("LPT1.PRN", "late");
  spool_.door.Shut();
  Start();
  ASSERT_TRUE(WaitUntil([&] { return spool_.door.Arrived() == 1; }, 5s));
  // The user quits while the watcher's pass is about to take the data. The worker sees an empty queue
  // with the quit flag set for two of its polls, and must still wait for the watcher.
  state_.QuitFlag.store(true);
  std::this_thread::sleep_for(1200ms);
  EXPECT_FALSE(workerEnded_.load());
  spool_.door.Open();
  Join();
  EXPECT_EQ(Documents(printers_.recorder.Transcript()), std::vector<std::string>{"late"});
  EXPECT_EQ(spool_.files.Get("LPT1.PRN").bytes, "");
}

TEST_F(SpoolPipelineThreads, QuitWhenIdleEndsBothThreadsWithinASecond) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return spool_.door.Arrived() >= 2; }, 5s));
  const auto quit = std::chrono::steady_clock::now();
  state_.QuitFlag.store(true);
  Join();
  EXPECT_LT(std::chrono::steady_clock::now() - quit, 1000ms);
  EXPECT_EQ(printers_.recorder.Transcript(), "");
}

}  // namespace
}  // namespace quillmark
