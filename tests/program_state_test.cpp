#include "spool/program_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#include <vector>

namespace quillmark {
namespace {

// Producers 0-3 queue jobs while a pending list (producer 4) is flushed and a consumer takes jobs the way
// the print worker does. A job's number names its producer, its length its sequence number.
TEST(PrintQueueThreads, ConcurrentAppendsAndTakesLoseNothingAndKeepOrder) {
  constexpr std::int32_t kProducers = 4;
  constexpr std::int32_t kJobs = 2000;
  constexpr std::int32_t kPending = 50;
  ProgramState state;
  for (std::int32_t i = 0; i < kPending; ++i) {
    PendingJob& pending = state.PendingList.emplace_back();
    pending.Settings.JobNumber = kProducers;
    pending.DataLength = i;
  }
  std::vector<std::pair<std::int32_t, std::int32_t>> taken;  // producer, sequence
  std::atomic<bool> producersDone{false};
  std::thread consumer([&] {
    // Sleeps while the queue is empty, the way the print worker does, and ends once it is drained.
    PrintJob job;
    while (WaitForPrintJob(state, job, {}, std::chrono::steady_clock::time_point::max(),
                           [&] { return producersDone.load(); }) == QueueWait::kJob) {
      taken.emplace_back(job.Settings.JobNumber, job.DataLength);
    }
  });
  std::vector<std::thread> producers;
  for (std::int32_t p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (std::int32_t i = 0; i < kJobs; ++i) {
        JobSettings settings;
        settings.JobNumber = p;
        MutexLock lock(state.QueueLock);
        QueuePrintJob(state, settings, i, SpoolData());
      }
    });
  }
  FlushPendingJobs(state);
  for (std::thread& producer : producers) producer.join();
  producersDone = true;
  WakeQueueWaiters(state);
  consumer.join();

  std::vector<std::int32_t> next(kProducers + 1, 0);
  for (const auto& [producer, sequence] : taken) {
    EXPECT_EQ(sequence, next.at(static_cast<std::size_t>(producer))++) << "producer " << producer;
  }
  EXPECT_EQ(next, (std::vector<std::int32_t>{kJobs, kJobs, kJobs, kJobs, kPending}));
  // The flush moves the pending jobs under one lock, so they arrive as one block.
  const auto first = std::find(taken.begin(), taken.end(), std::pair(kProducers, 0));
  ASSERT_LE(first + kPending, taken.end());
  EXPECT_TRUE(std::all_of(first, first + kPending, [](const auto& job) { return job.first == kProducers; }));
  EXPECT_TRUE(state.PendingList.empty());
}

// Several slots share one worker: each slot's documents keep their order, and the worker goes round the
// slots, so one slot's backlog never holds up another's next document by more than one.
TEST(PrintQueue, SlotsTakeTurnsAndEachKeepsItsOrder) {
  struct Case {
    std::vector<std::int32_t> queued;  // slot of each take, oldest first
    std::vector<std::int32_t> printed;
  };
  const Case cases[] = {
      {.queued = {1, 1, 1}, .printed = {1, 1, 1}},
      {.queued = {2, 2, 2, 1}, .printed = {2, 1, 2, 2}},           // the oldest first, then round
      {.queued = {5, 5, 2, 1, 1, 2}, .printed = {5, 1, 2, 5, 1, 2}},  // gaps in the numbering
      {.queued = {1, 2, 5, 1, 2, 5}, .printed = {1, 2, 5, 1, 2, 5}},
  };
  for (const Case& c : cases) {
    ProgramState state;
    for (std::size_t i = 0; i < c.queued.size(); ++i) {
      JobSettings settings;
      settings.JobNumber = c.queued[i];
      QueuePrintJob(state, settings, static_cast<std::int32_t>(i), SpoolData());
    }
    std::vector<std::int32_t> printed;
    std::map<std::int32_t, std::int32_t> lastTake;
    std::optional<std::int32_t> lastSlot;
    PrintJob job;
    while (TakePrintJob(state, job, lastSlot)) {
      lastSlot = job.Settings.JobNumber;
      printed.push_back(job.Settings.JobNumber);
      const auto [previous, first] = lastTake.try_emplace(job.Settings.JobNumber, job.DataLength);
      if (!first) {
        EXPECT_LT(previous->second, job.DataLength) << "slot order broken";
      }
      previous->second = job.DataLength;
    }
    EXPECT_EQ(printed, c.printed) << testing::PrintToString(c.queued);
  }
}

}  // namespace
}  // namespace quillmark
