#include "spool/print_worker.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "emulation/printer_document.h"
#include "spool/delay.h"

namespace quillmark {
namespace {

std::size_t DataSize(const PrintJob& job) {
  return job.DataLength > 0 ? static_cast<std::size_t>(job.DataLength) : 0;
}

void Settle(PrintJob& job) {
  job.Data.reset();
  job.DataLength = 0;
  job.QueueFile.clear();
  job.Gate.reset();
}

}  // namespace

FileStatus KeepUnprintedJob(PrintJob& job, TakeStore& store, const ErrorLog& log) {
  const FileStatus saved =
      store.KeepUnprinted(job.Settings.JobNumber, job.QueueFile, job.Data.get(), DataSize(job));
  if (!saved.ok()) return saved;
  log.Error("Druckdaten gespeichert unter '" + saved.path() + "'.");
  Settle(job);
  return saved;
}

bool PrintOneJob(PrintJob& job, PrintSystem& printers, TakeStore& store, const ErrorLog& log) {
  // Printing starts while the watcher still flushes the take; delivery waits until it is out of its spool
  // file for good. A take that stayed in its spool file is printed from a later take instead.
  const auto taken = [&job] { return job.Gate == nullptr || job.Gate->Wait(); };
  // A take from an earlier run may be the one that ended it; count the starts that try it.
  if (job.Gate == nullptr && !job.QueueFile.empty()) store.NotePrinting(job.QueueFile);
  Printout printout(job);
  const bool delivered = PrintDocument(printout, printers, log, taken);
  if (!taken()) {
    ReleaseDevice(printout, printers);
    Settle(job);
    return true;
  }
  if (job.Gate != nullptr) job.QueueFile = job.Gate->Path();
  job.Gate.reset();
  if (!delivered && printout.DeviceContext != nullptr) {
    std::string message =
        "Drucker '" + std::string(job.Settings.Printer.View()) + "' konnte das Dokument nicht ausgeben.";
    if (const std::string reason = printout.DeviceContext->FailureReason(); !reason.empty()) {
      message += " (" + reason + ")";
    }
    log.Error(message);
  }
  ReleaseDevice(printout, printers);
  if (delivered) {
    if (!job.QueueFile.empty()) store.Forget(job.QueueFile);
    Settle(job);
    return true;
  }
  const FileStatus kept = KeepUnprintedJob(job, store, log);
  if (kept.ok()) return true;
  log.Error(WithReason("Druckdaten (" + std::to_string(DataSize(job)) + " Bytes) konnten nicht unter '" +
                           UnprintedFolder(job.Settings.JobNumber) +
                           "' gespeichert werden; der Auftrag bleibt in der Warteschlange.",
                       kept));
  return false;
}

void PrintWorker(ProgramState& state, PrintSystem& printers, TakeStore& store, const ErrorLog& log,
                 const std::atomic<bool>& watcherEnded) {
  using Steady = std::chrono::steady_clock;
  // The watcher's last pass may still be taking data after the quit flag is set, so the worker ends only
  // once the watcher has (and the queue is empty).
  const auto ended = [&] {
    return state.QuitFlag.load(std::memory_order_acquire) && watcherEnded.load(std::memory_order_acquire);
  };
  std::vector<PrintJob> unsettled;
  auto nextRetry = Steady::now();
  std::optional<std::int32_t> lastSlot;  // the slot printed last; none at first
  for (;;) {
    if (!unsettled.empty() && Steady::now() >= nextRetry) {
      std::erase_if(unsettled, [&](PrintJob& job) { return KeepUnprintedJob(job, store, log).ok(); });
      nextRetry = Steady::now() + kUnsettledRetryInterval;
    }
    PrintJob job;
    const QueueWait found = WaitForPrintJob(state, job, lastSlot,
                                            unsettled.empty() ? Steady::time_point::max() : nextRetry, ended);
    if (found == QueueWait::kEnded) return;
    if (found == QueueWait::kDeadline) continue;
    lastSlot = job.Settings.JobNumber;
    if (!PrintOneJob(job, printers, store, log)) {
      if (unsettled.empty()) nextRetry = Steady::now() + kUnsettledRetryInterval;
      unsettled.push_back(std::move(job));
    }
  }
}

}  // namespace quillmark
