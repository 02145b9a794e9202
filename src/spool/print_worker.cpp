#include "spool/print_worker.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "emulation/printer_document.h"
#include "spool/delay.h"

namespace quillmark {
namespace {

constexpr int kIdlePollMs = 500;
constexpr std::chrono::seconds kRetryInterval{3};

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
  const FileStatus saved = store.KeepUnprinted(job.QueueFile, job.Data.get(), DataSize(job));
  if (!saved.ok()) return saved;
  log.LogError("", "Druckdaten gespeichert unter '" + saved.path() + "'.", "", 0, 0);
  Settle(job);
  return saved;
}

bool PrintOneJob(PrintJob& job, PrintSystem& printers, TakeStore& store, const ErrorLog& log) {
  // Printing starts while the watcher still flushes the take; delivery waits until it is out of its spool
  // file for good. A take that stayed in its spool file is printed from a later take instead.
  const auto taken = [&job] { return job.Gate == nullptr || job.Gate->Wait(); };
  const bool delivered = PrintDocument(job, printers, log, taken);
  if (!taken()) {
    ReleaseDevice(job, printers);
    Settle(job);
    return true;
  }
  if (job.Gate != nullptr) job.QueueFile = job.Gate->Path();
  job.Gate.reset();
  if (!delivered && job.DeviceContext != nullptr) {
    log.LogError(
        "", "Drucker '" + std::string(job.Settings.Printer.View()) + "' konnte das Dokument nicht ausgeben.",
        "", 0, 0);
  }
  ReleaseDevice(job, printers);
  if (delivered) {
    if (!job.QueueFile.empty()) store.Forget(job.QueueFile);
    Settle(job);
    return true;
  }
  const FileStatus kept = KeepUnprintedJob(job, store, log);
  if (kept.ok()) return true;
  log.LogError("",
               WithReason("Druckdaten (" + std::to_string(DataSize(job)) + " Bytes) konnten nicht unter '" +
                              kUnprintedFolder + "' gespeichert werden; der Auftrag bleibt in der Warteschlange.",
                          kept),
               "", 0, 0);
  return false;
}

void PrintWorker(ProgramState& state, PrintSystem& printers, TakeStore& store, const ErrorLog& log,
                 const std::atomic<bool>& watcherEnded) {
  std::vector<PrintJob> unsettled;
  auto nextRetry = std::chrono::steady_clock::now();
  const auto retry = [&] {
    if (unsettled.empty() || std::chrono::steady_clock::now() < nextRetry) return;
    std::erase_if(unsettled, [&](PrintJob& job) { return KeepUnprintedJob(job, store, log).ok(); });
    nextRetry = std::chrono::steady_clock::now() + kRetryInterval;
  };
  for (;;) {
    retry();
    while (state.PrintQueueSize.load(std::memory_order_acquire) == 0) {
      // The watcher's last pass may still be taking data after the quit flag is set, so the worker ends
      // only once the watcher has. Its appends happen before its end, hence the second look at the queue.
      if (state.QuitFlag.load(std::memory_order_acquire) && watcherEnded.load(std::memory_order_acquire)) {
        if (state.PrintQueueSize.load(std::memory_order_acquire) == 0) return;
        break;
      }
      Delay(kIdlePollMs);
      retry();
    }
    // A fresh record per job, so that no emulator state carries over from the previous document.
    PrintJob job;
    if (TakePrintJob(state, job) && !PrintOneJob(job, printers, store, log)) {
      if (unsettled.empty()) nextRetry = std::chrono::steady_clock::now() + kRetryInterval;
      unsettled.push_back(std::move(job));
    }
  }
}

}  // namespace quillmark
