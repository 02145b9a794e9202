#include "spool/spool_watcher.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "spool/delay.h"

namespace quillmark {
namespace {

constexpr int kPassIntervalMs = 200;

void ReportOnce(SpoolWatcherMemory& memory, const ErrorLog& log, std::string_view kind, std::string_view path,
                const std::string& message) {
  std::string key(kind);
  key.append(":").append(path);
  if (!memory.Reported.insert(std::move(key)).second) return;
  log.LogError("", message, "", 0, 0);
}

// One take: the whole file read into a new buffer of exactly its size, then the file emptied. False when
// there is nothing to queue; the file then holds every byte it held before.
bool TakeSpoolFile(const JobSettings& settings, SpoolFiles& files, const ErrorLog& log,
                   SpoolWatcherMemory& memory, std::int32_t& length, SpoolData& data) {
  const std::string path(settings.Path.View());
  const std::unique_ptr<SpoolFile> file = files.Open(path);
  if (file == nullptr) return false;  // missing folder, no rights, or a writer has it open: next pass

  const std::int64_t size = file->Size();
  if (size == 0) return false;
  const std::string quoted = "Spooldatei '" + path + "'";
  if (size < 0) {
    ReportOnce(memory, log, "read", path, quoted + " konnte nicht gelesen werden und bleibt unveraendert.");
    return false;
  }
  // A job's length is a signed 32-bit number.
  if (size > std::numeric_limits<std::int32_t>::max()) {
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
  // Emptying can be refused when the file changed under us (no lease); the bytes are taken next pass.
  if (!file->Empty()) return false;

  length = static_cast<std::int32_t>(size);
  data = std::move(buffer);
  return true;
}

}  // namespace

void RunSpoolPass(ProgramState& state, SpoolFiles& files, const ErrorLog& log, SpoolWatcherMemory& memory) {
  std::lock_guard settingsLock(state.SettingsLock);
  for (const JobSettings& settings : state.JobList) {
    // The collecting mode is not offered; a slot that asks for it keeps its data in the file.
    if (settings.CollectMode != 0) continue;
    std::int32_t length = 0;
    SpoolData data;
    if (!TakeSpoolFile(settings, files, log, memory, length, data)) continue;
    std::lock_guard queueLock(state.QueueLock);
    QueuePrintJob(state, settings, length, std::move(data));
  }
}

void RunSpoolPass(ProgramState& state, SpoolFiles& files, const ErrorLog& log) {
  SpoolWatcherMemory memory;
  RunSpoolPass(state, files, log, memory);
}

void SpoolWatcher(ProgramState& state, SpoolFiles& files, const ErrorLog& log) {
  SpoolWatcherMemory memory;
  for (;;) {
    RunSpoolPass(state, files, log, memory);
    Delay(kPassIntervalMs);
    if (state.QuitFlag.load(std::memory_order_acquire)) return;
  }
}

}  // namespace quillmark
