#pragma once
// The program-wide state shared by the main thread, the spool watcher and the print worker: the three
// lists, the lock next to each, and the quit flag. Lock order: SettingsLock, PendingLock, QueueLock.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "spool/job_records.h"

namespace quillmark {

struct ProgramState {
  // Filled once by the settings loader before the threads start; read by the watcher.
  std::recursive_mutex SettingsLock;
  std::vector<JobSettings> JobList;  // guarded by SettingsLock

  // Appended to by the watcher and FlushPendingJobs, emptied by the worker.
  std::recursive_mutex QueueLock;
  std::deque<PrintJob> PrintQueue;  // guarded by QueueLock
  // The queue's length, readable without the lock. Only the worker removes jobs, so a size it has seen
  // non-zero stays non-zero until it takes the lock.
  std::atomic<std::size_t> PrintQueueSize{0};

  std::recursive_mutex PendingLock;
  std::deque<PendingJob> PendingList;  // guarded by PendingLock

  // Set once, from false to true, by Shutdown on the main thread; read by both threads without a lock.
  std::atomic<bool> QuitFlag{false};
};

// Appends a job with a zeroed emulator state, a copy of `settings`, and `data` (which it now owns), kept
// on disk as `queueFile`. The caller holds QueueLock.
void QueuePrintJob(ProgramState& state, const JobSettings& settings, std::int32_t length, SpoolData data,
                   std::string queueFile = {}, std::shared_ptr<TakeGate> gate = {});

// Moves the next job into `job` under QueueLock: the oldest of the slot after `afterSlot` in slot order
// (see NextInSlotOrder), or without it the oldest. False when the queue is empty.
bool TakePrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot = {});

// Moves every pending job, in order, behind the queued ones. Takes PendingLock, then QueueLock.
void FlushPendingJobs(ProgramState& state);

}  // namespace quillmark
