#include "spool/spool_watcher.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
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

// The first half of a take: the whole file read into a new buffer of exactly its size. False when there
// is nothing to queue; the file then holds every byte it held before. Otherwise `file` stays open for
// FinishTake.
bool ReadTake(const JobSettings& settings, SpoolFiles& files, const ErrorLog& log, SpoolWatcherMemory& memory,
              std::unique_ptr<SpoolFile>& file, std::int32_t& length, SpoolData& data) {
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

  SpoolData buffer(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]());
  if (buffer == nullptr) {
    ReportOnce(memory, log, "memory", path,
               quoted + ": kein Speicher fuer " + std::to_string(size) + " Bytes, sie bleibt unveraendert.");
    return false;
  }
  if (file->Read(buffer.get(), size) != size) {
    ReportOnce(memory, log, "read", path, quoted + " konnte nicht gelesen werden und bleibt unveraendert.");
    return false;
  }
  length = static_cast<std::int32_t>(size);
  data = std::move(buffer);
  return true;
}

// The second half, while the worker may already print the take: the bytes leave the spool file only once
// they are on the disk elsewhere, and only if nobody can have written to it since it was read (else they
// are taken next pass).
void FinishTake(const JobSettings& settings, SpoolFile& file, TakeStore& store, const ErrorLog& log,
                SpoolWatcherMemory& memory, const std::uint8_t* data, std::int32_t length, TakeGate& gate) {
  const std::string path(settings.Path.View());
  const FileStatus keep = store.Keep(settings.JobNumber, data, static_cast<std::size_t>(length));
  const std::string kept = keep.ok() ? keep.path() : std::string();
  const FileStatus flush = keep.ok() ? store.Flush(kept) : keep;
  const bool flushed = flush.ok();
  if (flushed) memory.Reported.erase("keep:" + path);
  if (!flushed) ReportNotKept(memory, log, path, flush);
  // The record that decides after a kill whether the file was emptied: written before the emptying.
  const FileStatus marked = flushed ? store.MarkEmptying(kept, file.ChangeStamp()) : flush;
  if (marked.ok() && file.Empty(length).ok()) {
    gate.Settle(true, store.Commit(marked.path()));
    return;
  }
  if (!kept.empty()) store.Forget(marked.ok() ? marked.path() : kept);
  gate.Settle(false, {});
}

}  // namespace

void RunSpoolPass(ProgramState& state, SpoolFiles& files, TakeStore& store, const ErrorLog& log,
                  SpoolWatcherMemory& memory) {
  for (const JobSettings& settings : state.JobList) {
    std::int32_t length = 0;
    SpoolData data;
    std::unique_ptr<SpoolFile> file;
    if (!ReadTake(settings, files, log, memory, file, length, data)) continue;
    // The worker may start on the job at once: it reads the buffer only, as the rest of the take does,
    // and delivers nothing before the gate says the take is out of the file.
    const auto gate = std::make_shared<TakeGate>();
    const std::uint8_t* bytes = data.get();
    {
      MutexLock queueLock(state.QueueLock);
      QueuePrintJob(state, settings, length, std::move(data), {}, gate);
    }
    FinishTake(settings, *file, store, log, memory, bytes, length, *gate);
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
