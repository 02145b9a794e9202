#include "spool/program_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace quillmark {
namespace {

TEST(ProgramState, QueueIsFirstInFirstOut) {
  ProgramState state;
  JobSettings settings;
  for (std::int32_t i = 1; i <= 3; ++i) {
    std::lock_guard lock(state.QueueLock);
    QueuePrintJob(state, settings, i, SpoolData(new std::uint8_t[static_cast<std::size_t>(i)]()));
  }
  PrintJob job;
  for (std::int32_t i = 1; i <= 3; ++i) {
    ASSERT_TRUE(TakePrintJob(state, job));
    EXPECT_EQ(job.DataLength, i);
  }
  EXPECT_FALSE(TakePrintJob(state, job));
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// A job whose settings and data name the producer and its sequence number.
SpoolData Tagged(std::int32_t producer, std::int32_t sequence) {
  SpoolData data(new std::uint8_t[2]);
  data[0] = static_cast<std::uint8_t>(producer);
  data[1] = static_cast<std::uint8_t>(sequence);
  return data;
}

void Queue(ProgramState& state, std::int32_t producer, std::int32_t sequence) {
  JobSettings settings;
  settings.JobNumber = producer;
  std::lock_guard lock(state.QueueLock);
  QueuePrintJob(state, settings, sequence + 2, Tagged(producer, sequence));
}

struct Taken {
  std::int32_t producer;
  std::int32_t sequence;
};

// Takes jobs the way the print worker does, looking at the size without the lock, until `count` arrived.
std::vector<Taken> TakeAll(ProgramState& state, std::size_t count) {
  std::vector<Taken> taken;
  while (taken.size() < count) {
    if (state.PrintQueueSize.load() == 0) {
      std::this_thread::yield();
      continue;
    }
    PrintJob job;
    // Only this thread removes jobs, so a size seen non-zero must still be non-zero under the lock.
    if (!TakePrintJob(state, job)) {
      ADD_FAILURE() << "size was non-zero but the queue was empty";
      break;
    }
    const std::int32_t sequence = job.DataLength - 2;
    EXPECT_EQ(job.Data[0], static_cast<std::uint8_t>(job.Settings.JobNumber));
    EXPECT_EQ(job.Data[1], static_cast<std::uint8_t>(sequence));
    taken.push_back({job.Settings.JobNumber, sequence});
  }
  return taken;
}

TEST(PrintQueueThreads, ConcurrentAppendsAndTakesLoseNothingAndKeepOrder) {
  ProgramState state;
  constexpr std::int32_t kProducers = 4;
  constexpr std::int32_t kJobs = 2000;
  constexpr std::int32_t kPending = 50;
  constexpr std::int32_t kPendingProducer = kProducers;
  for (std::int32_t i = 0; i < kPending; ++i) {
    PendingJob& pending = state.PendingList.emplace_back();
    pending.Settings.JobNumber = kPendingProducer;
    pending.DataLength = i + 2;
    pending.Data = Tagged(kPendingProducer, i);
  }

  std::vector<Taken> taken;
  std::thread consumer(
      [&] { taken = TakeAll(state, static_cast<std::size_t>(kProducers * kJobs + kPending)); });
  std::vector<std::thread> producers;
  for (std::int32_t p = 0; p < kProducers; ++p) {
    producers.emplace_back([&state, p] {
      for (std::int32_t i = 0; i < kJobs; ++i) Queue(state, p, i);
    });
  }
  FlushPendingJobs(state);
  for (std::thread& producer : producers) producer.join();
  consumer.join();

  ASSERT_EQ(taken.size(), static_cast<std::size_t>(kProducers * kJobs + kPending));
  std::vector<std::int32_t> next(kProducers + 1, 0);
  std::size_t firstPending = taken.size();
  for (std::size_t i = 0; i < taken.size(); ++i) {
    const auto producer = static_cast<std::size_t>(taken[i].producer);
    ASSERT_LT(producer, next.size());
    EXPECT_EQ(taken[i].sequence, next[producer]) << "producer " << producer << " at " << i;
    ++next[producer];
    if (taken[i].producer == kPendingProducer && firstPending == taken.size()) firstPending = i;
  }
  for (std::int32_t p = 0; p < kProducers; ++p) EXPECT_EQ(next[static_cast<std::size_t>(p)], kJobs);
  // The flush holds the queue lock for the whole move, so the pending jobs arrive as one block.
  for (std::int32_t i = 0; i < kPending; ++i) {
    EXPECT_EQ(taken[firstPending + static_cast<std::size_t>(i)].producer, kPendingProducer);
  }
  EXPECT_TRUE(state.PendingList.empty());
  EXPECT_EQ(state.PrintQueueSize.load(), 0u);
}

TEST(PrintQueueThreads, FlushWaitsForTheQueueLockAndReleasesBothLocks) {
  ProgramState state;
  PendingJob& pending = state.PendingList.emplace_back();
  pending.DataLength = 2;
  pending.Data = Tagged(0, 0);

  std::unique_lock queueHeld(state.QueueLock);
  auto flushed = std::async(std::launch::async, [&state] { FlushPendingJobs(state); });
  EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  queueHeld.unlock();
  flushed.get();

  const bool bothFree = std::async(std::launch::async, [&state] {
                          std::unique_lock pendingLock(state.PendingLock, std::try_to_lock);
                          std::unique_lock queueLock(state.QueueLock, std::try_to_lock);
                          return pendingLock.owns_lock() && queueLock.owns_lock();
                        }).get();
  EXPECT_TRUE(bothFree);
  EXPECT_EQ(state.PrintQueueSize.load(), 1u);
}

}  // namespace
}  // namespace quillmark
