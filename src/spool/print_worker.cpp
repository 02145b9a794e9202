#include "spool/print_worker.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
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
  job.File.reset();
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

namespace {

// The bytes a job prints from: its own, or its file's, mapped. `readable` says why a file gave none.
struct TakeBytes {
  std::unique_ptr<TakeFile> file;
  const std::uint8_t* data = nullptr;
  std::int32_t length = 0;
  FileStatus readable = FileStatus::Done();
};

TakeBytes BytesOf(PrintJob& job, TakeStore& store) {
  TakeBytes bytes;
  bytes.file = std::move(job.File);
  if (job.Data != nullptr || (bytes.file == nullptr && job.QueueFile.empty())) {
    bytes.data = job.Data.get();
    bytes.length = job.DataLength;
    return bytes;
  }
  if (bytes.file == nullptr) bytes.readable = store.Open(job.QueueFile, bytes.file);
  if (!bytes.readable.ok()) return bytes;
  // Only what the file still holds is mapped, so that no page past its end is ever touched.
  const std::int64_t size = bytes.file->Size();
  bytes.length = static_cast<std::int32_t>(std::clamp<std::int64_t>(size, 0, job.DataLength));
  if (bytes.length > 0) bytes.data = bytes.file->Map(bytes.length);
  if (size < 0 || (bytes.length > 0 && bytes.data == nullptr)) {
    bytes.readable = FileStatus::Failed(job.QueueFile, "cannot be mapped");
  }
  return bytes;
}

}  // namespace

bool PrintOneJob(PrintJob& job, PrintSystem& printers, TakeStore& store, const ErrorLog& log) {
  // Printing starts while the watcher still flushes the take; delivery waits until it is out of its spool
  // file for good. A take that stayed in its spool file is printed from a later take instead.
  const auto taken = [&job] { return job.Gate == nullptr || job.Gate->Wait(); };
  // A take from an earlier run may be the one that ended it; count the starts that try it.
  if (job.Gate == nullptr && !job.QueueFile.empty()) store.NotePrinting(job.QueueFile);
  TakeBytes bytes = BytesOf(job, store);
  // Emptied or removed behind the program's back: nothing is left to print.
  if (bytes.file == nullptr ? !bytes.readable.ok() : bytes.readable.ok() && bytes.length == 0) {
    taken();
    const std::string path = job.Gate == nullptr ? job.QueueFile : job.Gate->Path();
    if (!bytes.readable.ok()) {
      log.LogError("", WithReason("Druckauftrag '" + path + "' konnte nicht gelesen werden.", bytes.readable),
                   "", 0, 0);
    }
    bytes.file.reset();
    if (!path.empty()) store.Forget(path);
    Settle(job);
    return true;
  }
  Printout printout(job.Settings, bytes.data, bytes.length, bytes.file.get());
  // A file that is there but cannot be mapped is kept unprinted below.
  const bool delivered = bytes.readable.ok() && PrintDocument(printout, printers, log, taken);
  if (!taken()) {
    ReleaseDevice(printout, printers);
    bytes.file.reset();
    // The watcher removed its copy already, except where a file in use cannot be removed.
    if (!job.Gate->Path().empty()) store.Forget(job.Gate->Path());
    Settle(job);
    return true;
  }
  if (job.Gate != nullptr) job.QueueFile = job.Gate->Path();
  job.Gate.reset();
  if (!bytes.readable.ok()) {
    log.LogError(
        "", WithReason("Druckauftrag '" + job.QueueFile + "' konnte nicht gelesen werden.", bytes.readable),
        "", 0, 0);
  }
  if (!delivered && printout.DeviceContext != nullptr) {
    std::string message =
        "Drucker '" + std::string(job.Settings.Printer.View()) + "' konnte das Dokument nicht ausgeben.";
    if (const std::string reason = printout.DeviceContext->FailureReason(); !reason.empty()) {
      message += " (" + reason + ")";
    }
    log.Error(message);
  }
  ReleaseDevice(printout, printers);
  // Closed before the file is removed or moved, which a system may refuse while it is mapped.
  bytes.file.reset();
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
