#pragma once
// The program-wide state shared by the main thread, the spool watcher and the print worker: the three
// lists, the lock next to each list that changes, and the quit flag. Lock order: PendingLock, QueueLock.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/mutex.h"
#include "spool/job_records.h"

namespace quillmark {

struct ProgramState {
  // Filled by the settings loader on the main thread before the threads start, never changed afterwards;
  // the threads read it without a lock (starting a thread orders the load before everything it does).
  std::vector<JobSettings> JobList;

  // Appended to by the watcher and FlushPendingJobs, emptied by the worker. Nothing waits for the disk, a
  // printer or another lock while holding QueueLock.
  Mutex QueueLock;
  std::deque<PrintJob> PrintQueue GUARDED_BY(QueueLock);
  // Signalled under QueueLock when a job is queued and when the worker may have to end (the quit flag, the
  // watcher's end).
  CondVar QueueChanged;
  // The queue's length, readable without the lock. Only the worker removes jobs, so a size it has seen
  // non-zero stays non-zero until it takes the lock.
  std::atomic<std::size_t> PrintQueueSize{0};

  Mutex PendingLock ACQUIRED_BEFORE(QueueLock);
  std::deque<PendingJob> PendingList GUARDED_BY(PendingLock);

  // Set once, from false to true, by Shutdown on the main thread (through SetQuitFlag); read by both
  // threads without a lock.
  std::atomic<bool> QuitFlag{false};
};

// Appends a job with a zeroed emulator state, a copy of `settings`, and `data` (which it now owns), kept
// on disk as `queueFile`, and wakes the worker.
void QueuePrintJob(ProgramState& state, const JobSettings& settings, std::int32_t length, SpoolData data,
                   std::string queueFile = {}, std::shared_ptr<TakeGate> gate = {}) REQUIRES(state.QueueLock);

// Appends `job` as it is and wakes the worker.
void QueuePrintJob(ProgramState& state, PrintJob job) REQUIRES(state.QueueLock);

// Moves the next job into `job` under QueueLock: the oldest of the slot after `afterSlot` in slot order
// (see NextInSlotOrder), or without it the oldest. False when the queue is empty.
bool TakePrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot = {})
    EXCLUDES(state.QueueLock);

// What WaitForPrintJob found.
enum class QueueWait { kJob, kDeadline, kEnded };

// Blocks until a job is queued and moves the next one, as TakePrintJob picks it, into `job` (kJob), until
// `deadline` passes (kDeadline), or until the queue is empty and `ended()` holds (kEnded). `ended` is called
// under QueueLock; whoever makes it true calls WakeQueueWaiters afterwards.
QueueWait WaitForPrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot,
                          std::chrono::steady_clock::time_point deadline, const std::function<bool()>& ended)
    EXCLUDES(state.QueueLock);

// Wakes the worker to look at its end condition again.
void WakeQueueWaiters(ProgramState& state) EXCLUDES(state.QueueLock);

// Sets the quit flag and wakes the worker.
void SetQuitFlag(ProgramState& state) EXCLUDES(state.QueueLock);

// Moves every pending job, in order, behind the queued ones. Takes PendingLock, then QueueLock.
void FlushPendingJobs(ProgramState& state) EXCLUDES(state.PendingLock, state.QueueLock);

}  // namespace quillmark
