#include "spool/program_state.h"

#include <utility>

#include "spool/slot_order.h"

namespace quillmark {

void QueuePrintJob(ProgramState& state, const JobSettings& settings, std::int32_t length, SpoolData data,
                   std::string queueFile, std::shared_ptr<TakeGate> gate) {
  PrintJob& job = state.PrintQueue.emplace_back();
  job.QueueFile = std::move(queueFile);
  job.Gate = std::move(gate);
  job.Settings = settings;
  job.DataLength = length;
  job.Data = std::move(data);
  state.PrintQueueSize.store(state.PrintQueue.size(), std::memory_order_release);
  state.QueueChanged.SignalAll();
}

void QueuePrintJob(ProgramState& state, PrintJob job) {
  state.PrintQueue.push_back(std::move(job));
  state.PrintQueueSize.store(state.PrintQueue.size(), std::memory_order_release);
  state.QueueChanged.SignalAll();
}

namespace {

void TakeNext(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot)
    REQUIRES(state.QueueLock) {
  const auto next = NextInSlotOrder(state.PrintQueue, afterSlot);
  job = std::move(*next);
  state.PrintQueue.erase(next);
  state.PrintQueueSize.store(state.PrintQueue.size(), std::memory_order_release);
}

}  // namespace

bool TakePrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot) {
  MutexLock lock(state.QueueLock);
  if (state.PrintQueue.empty()) return false;
  TakeNext(state, job, afterSlot);
  return true;
}

QueueWait WaitForPrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot,
                          std::chrono::steady_clock::time_point deadline,
                          const std::function<bool()>& ended) {
  MutexLock lock(state.QueueLock);
  while (state.PrintQueue.empty()) {
    if (ended()) return QueueWait::kEnded;
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      state.QueueChanged.Wait(state.QueueLock);
    } else if (!state.QueueChanged.WaitUntil(state.QueueLock, deadline) && state.PrintQueue.empty()) {
      return QueueWait::kDeadline;
    }
  }
  TakeNext(state, job, afterSlot);
  return QueueWait::kJob;
}

void WakeQueueWaiters(ProgramState& state) {
  // Under the lock, so that a waiter between its look at the condition and its wait cannot miss it.
  MutexLock lock(state.QueueLock);
  state.QueueChanged.SignalAll();
}

void SetQuitFlag(ProgramState& state) {
  state.QuitFlag.store(true, std::memory_order_release);
  WakeQueueWaiters(state);
}

void FlushPendingJobs(ProgramState& state) {
  MutexLock pending(state.PendingLock);
  MutexLock queue(state.QueueLock);
  while (!state.PendingList.empty()) {
    PendingJob& first = state.PendingList.front();
    QueuePrintJob(state, first.Settings, first.DataLength, std::move(first.Data));
    state.PendingList.pop_front();
  }
}

}  // namespace quillmark
