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
}

bool TakePrintJob(ProgramState& state, PrintJob& job, std::optional<std::int32_t> afterSlot) {
  std::lock_guard lock(state.QueueLock);
  if (state.PrintQueue.empty()) return false;
  const auto next = NextInSlotOrder(state.PrintQueue, afterSlot);
  job = std::move(*next);
  state.PrintQueue.erase(next);
  state.PrintQueueSize.store(state.PrintQueue.size(), std::memory_order_release);
  return true;
}

void FlushPendingJobs(ProgramState& state) {
  std::lock_guard pending(state.PendingLock);
  std::lock_guard queue(state.QueueLock);
  while (!state.PendingList.empty()) {
    PendingJob& first = state.PendingList.front();
    QueuePrintJob(state, first.Settings, first.DataLength, std::move(first.Data));
    state.PendingList.pop_front();
  }
}

}  // namespace quillmark
