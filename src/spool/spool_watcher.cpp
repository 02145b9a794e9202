#include "spool/spool_watcher.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "settings/paper.h"
#include "spool/delay.h"

namespace quillmark {
namespace {

void ReportOnce(SpoolWatcherMemory& memory, const ErrorLog& log, std::string_view kind, std::string_view path,
                const std::string& message) {
  std::string key(kind);
  key.append(":").append(path);
  if (!memory.Reported.insert(std::move(key)).second) return;
  log.Error(message);
}

void NoteOpen(SpoolWatcherMemory& memory, const ErrorLog& log, const std::string& path, SpoolNotice notice) {
  const std::string quoted = "Spooldatei '" + path + "'";
  if (notice == SpoolNotice::kNotRegular) {
    ReportOnce(memory, log, "kind", path,
               quoted + " ist keine gewoehnliche Datei (FIFO, Geraet oder Ordner) und wird nicht geoeffnet.");
  } else if (notice == SpoolNotice::kLinked) {
    ReportOnce(memory, log, "kind", path,
               quoted + " ist ein Link (symbolisch oder mit mehreren Namen) und wird nicht geleert.");
  } else if (notice == SpoolNotice::kGuardedWithoutLease) {
    ReportOnce(memory, log, "lease", path,
               quoted +
                   " wird ohne Lease bewacht: sie wird nur geleert, wenn kein anderes Programm sie "
                   "geoeffnet hat und ihre Groesse gleich blieb.");
  }
  const auto now = std::chrono::steady_clock::now();
  if (notice == SpoolNotice::kInUse) {
    const auto since = memory.InUseSince.try_emplace(path, now).first->second;
    if (now - since > kSpoolHeldTooLong) {
      ReportOnce(memory, log, "busy", path,
                 quoted + " ist seit ueber " + std::to_string(kSpoolHeldTooLong.count()) +
                     " Sekunden von einem anderen Programm geoeffnet; sie wird "
                     "gedruckt, sobald es sie schliesst.");
    }
    return;
  }
  memory.InUseSince.erase(path);
  if (memory.Reported.erase("busy:" + path) != 0) log.Error(quoted + " wird wieder gelesen.");
}

void ReportNotKept(SpoolWatcherMemory& memory, const ErrorLog& log, const std::string& path,
                   const FileStatus& status) {
  ReportOnce(memory, log, "keep", path,
             WithReason("Spooldatei '" + path + "' bleibt unveraendert: ihre Daten konnten nicht in '" +
                            kQueueFolder + "' gesichert werden.",
                        status));
}

// The first half of a take: the spool file copied a block at a time into a new take in the queue, and the
// copy opened for printing. False when there is nothing to queue; the spool file then holds every byte it
// held before. Otherwise `file` stays open for FinishTake.
bool CopyTake(const JobSettings& settings, SpoolFiles& files, TakeStore& store, const ErrorLog& log,
              SpoolWatcherMemory& memory, std::unique_ptr<SpoolFile>& file, PrintJob& job) {
  const std::string path(settings.Path.View());
  SpoolNotice notice = SpoolNotice::kNone;
  file = files.Open(path, notice);
  NoteOpen(memory, log, path, notice);
  if (file == nullptr) return false;  // missing folder, no rights, or a writer has it open: next pass

  const std::int64_t size = file->Size();
  if (size == 0) return false;
  const std::string quoted = "Spooldatei '" + path + "'";
  if (size < 0) {
    ReportOnce(memory, log, "read", path, quoted + " konnte nicht gelesen werden und bleibt unveraendert.");
    return false;
  }
  // A job's length is a signed 32-bit number.
  if (static_cast<std::uint64_t>(size) > kLargestJob) {
    ReportOnce(memory, log, "size", path,
               quoted + " ist zu gross (" + std::to_string(size) + " Bytes) und wird nicht gelesen.");
    return false;
  }

  bool unreadable = false;
  const FileStatus keep = store.Keep(
      settings.JobNumber, static_cast<std::uint64_t>(size),
      [&](std::uint8_t* block, std::size_t length, std::uint64_t offset) {
        const auto wanted = static_cast<std::int64_t>(length);
        unreadable = unreadable || file->Read(static_cast<std::int64_t>(offset), block, wanted) != wanted;
        return !unreadable;
      });
  if (unreadable) {
    ReportOnce(memory, log, "read", path, quoted + " konnte nicht gelesen werden und bleibt unveraendert.");
    return false;
  }
  if (!keep.ok()) {
    ReportNotKept(memory, log, path, keep);
    return false;
  }
  // Opened now: the copy is renamed twice before it is settled, and the worker may print it meanwhile.
  if (const FileStatus opened = store.Open(keep.path(), job.File); !opened.ok()) {
    store.Forget(keep.path());
    ReportNotKept(memory, log, path, opened);
    return false;
  }
  job.Settings = settings;
  job.DataLength = static_cast<std::int32_t>(size);
  job.QueueFile = keep.path();
  return true;
}

// The second half, while the worker may already print the take: the bytes leave the spool file only once
// their copy is on the disk, and only if nobody can have written to it since it was read (else they are
// taken next pass).
void FinishTake(const JobSettings& settings, SpoolFile& file, TakeStore& store, const ErrorLog& log,
                SpoolWatcherMemory& memory, const std::string& kept, std::int32_t length, TakeGate& gate) {
  const std::string path(settings.Path.View());
  const FileStatus flush = store.Flush(kept);
  const bool flushed = flush.ok();
  if (flushed) memory.Reported.erase("keep:" + path);
  if (!flushed) ReportNotKept(memory, log, path, flush);
  // The record that decides after a kill whether the file was emptied: written before the emptying.
  const FileStatus marked = flushed ? store.MarkEmptying(kept, file.ChangeStamp()) : flush;
  if (marked.ok() && file.Empty(length).ok()) {
    gate.Settle(true, store.Commit(marked.path()));
    return;
  }
  const std::string copy = marked.ok() ? marked.path() : kept;
  store.Forget(copy);
  // Named again for the worker, which removes it once it stops reading it: a system that cannot remove a
  // file in use leaves it here.
  gate.Settle(false, copy);
}

}  // namespace

void RunSpoolPass(ProgramState& state, SpoolFiles& files, TakeStore& store, const ErrorLog& log,
                  SpoolWatcherMemory& memory) {
  for (const JobSettings& settings : state.JobList) {
    PrintJob job;
    std::unique_ptr<SpoolFile> file;
    if (!CopyTake(settings, files, store, log, memory, file, job)) continue;
    // The worker may start on the job at once: it reads the copy, and delivers nothing before the gate
    // says the take is out of the spool file.
    const auto gate = std::make_shared<TakeGate>();
    const std::string kept = job.QueueFile;
    const std::int32_t length = job.DataLength;
    job.QueueFile.clear();  // the gate names it once it is settled
    job.Gate = gate;
    {
      MutexLock queueLock(state.QueueLock);
      QueuePrintJob(state, std::move(job));
    }
    FinishTake(settings, *file, store, log, memory, kept, length, *gate);
  }
}

void SpoolWatcher(ProgramState& state, SpoolFiles& files, TakeStore& store, const ErrorLog& log) {
  SpoolWatcherMemory memory;
  for (;;) {
    RunSpoolPass(state, files, store, log, memory);
    Delay(kSpoolPassInterval);
    if (state.QuitFlag.load(std::memory_order_acquire)) return;
  }
}

}  // namespace quillmark
