#include "spool/print_worker.h"

#include <cstddef>
#include <string>

#include "emulation/printer_document.h"
#include "spool/delay.h"

namespace quillmark {
namespace {

constexpr int kIdlePollMs = 500;
constexpr const char* kUnprintedFolder = "Ungedruckt";

// The job's bytes have already left the spool file; a document that did not arrive keeps them on disk.
void KeepUndelivered(const PrintJob& job, FileSystem& files, const ErrorLog& log) {
  if (job.DeviceContext != nullptr) {
    log.LogError(
        "", "Drucker '" + std::string(job.Settings.Printer.View()) + "' konnte das Dokument nicht ausgeben.",
        "", 0, 0);
  }
  const std::size_t size = job.DataLength > 0 ? static_cast<std::size_t>(job.DataLength) : 0;
  const std::string saved =
      job.Data != nullptr ? files.SaveNewFile(kUnprintedFolder, job.Data.get(), size) : "";
  if (!saved.empty()) {
    log.LogError("", "Druckdaten gespeichert unter '" + saved + "'.", "", 0, 0);
  } else {
    log.LogError("",
                 "Druckdaten (" + std::to_string(size) + " Bytes) konnten nicht unter '" + kUnprintedFolder +
                     "' gespeichert werden und sind verloren.",
                 "", 0, 0);
  }
}

}  // namespace

void PrintOneJob(PrintJob& job, PrintSystem& printers, FileSystem& files, const ErrorLog& log) {
  if (!PrintDocument(job, printers, log)) KeepUndelivered(job, files, log);
  ReleaseDevice(job, printers);
  job.Data.reset();
  job.DataLength = 0;
}

void PrintWorker(ProgramState& state, PrintSystem& printers, FileSystem& files, const ErrorLog& log,
                 const std::atomic<bool>& watcherEnded) {
  for (;;) {
    while (state.PrintQueueSize.load(std::memory_order_acquire) == 0) {
      // The watcher's last pass may still be taking data after the quit flag is set, so the worker ends
      // only once the watcher has. Its appends happen before its end, hence the second look at the queue.
      if (state.QuitFlag.load(std::memory_order_acquire) && watcherEnded.load(std::memory_order_acquire)) {
        if (state.PrintQueueSize.load(std::memory_order_acquire) == 0) return;
        break;
      }
      Delay(kIdlePollMs);
    }
    // A fresh record per job, so that no emulator state carries over from the previous document.
    PrintJob job;
    if (TakePrintJob(state, job)) PrintOneJob(job, printers, files, log);
  }
}

}  // namespace quillmark
