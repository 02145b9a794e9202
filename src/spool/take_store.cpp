#include "spool/take_store.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

namespace quillmark {
namespace {

constexpr std::string_view kCommitted = ".prn";
constexpr std::string_view kUncommitted = ".new";

// A name of this store: "<digits>-<digits>.prn" or ".new". False for anything else found in the folder.
bool ParseName(std::string_view name, std::uint64_t& sequence, std::int32_t& jobNumber, bool& committed) {
  const std::size_t dash = name.find('-');
  committed = name.ends_with(kCommitted);
  if (dash == std::string_view::npos || !(committed || name.ends_with(kUncommitted))) return false;
  const char* end = name.data() + name.size() - 4;
  const auto first = std::from_chars(name.data(), name.data() + dash, sequence);
  const auto second = std::from_chars(name.data() + dash + 1, end, jobNumber);
  return first.ec == std::errc() && first.ptr == name.data() + dash && second.ec == std::errc() &&
         second.ptr == end;
}

}  // namespace

FileStatus TakeStore::Keep(std::int32_t jobNumber, const std::uint8_t* data, std::size_t size) {
  // A name that is taken already is skipped; anything else fails at once as well.
  FileStatus status = FileStatus::NotSupported();
  for (int attempt = 0; attempt < 3; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "/%012llu-%d.new", static_cast<unsigned long long>(next_++),
                  static_cast<int>(jobNumber));
    status = files_.WriteNewFile(kQueueFolder + std::string(name), data, size);
    if (status.ok()) return status;
  }
  return status;
}

std::string TakeStore::Commit(const std::string& path) {
  const std::string final = path.substr(0, path.size() - kUncommitted.size()) + std::string(kCommitted);
  // Left under its first name when the rename fails; start-up then decides from the spool file.
  return files_.Rename(path, final).ok() ? final : path;
}

FileStatus TakeStore::KeepUnprinted(const std::string& path, const std::uint8_t* data, std::size_t size) {
  if (!path.empty()) return files_.MoveToNewFile(path, kUnprintedFolder);
  if (data == nullptr) return FileStatus::Failed({}, "no data");
  return files_.SaveNewFile(kUnprintedFolder, data, size);
}

std::vector<TakeStore::Leftover> TakeStore::Leftovers() {
  std::vector<Leftover> found;
  std::vector<std::string> names;
  static_cast<void>(files_.ListFiles(kQueueFolder, names));  // an unreadable folder leaves nothing to do
  for (const std::string& name : names) {
    std::uint64_t sequence = 0;
    Leftover leftover;
    if (!ParseName(name, sequence, leftover.jobNumber, leftover.committed)) continue;
    if (sequence >= next_) next_ = sequence + 1;
    leftover.path = kQueueFolder + ("/" + name);
    found.push_back(std::move(leftover));
  }
  return found;
}

void QueueLeftoverTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log) {
  std::lock_guard settingsLock(state.SettingsLock);
  if (state.JobList.empty()) return;
  for (const TakeStore::Leftover& leftover : store.Leftovers()) {
    std::string bytes;
    if (const FileStatus read = files.ReadWholeFile(leftover.path, bytes); !read.ok()) {
      log.LogError(
          "",
          WithReason("Druckauftrag '" + leftover.path + "' eines frueheren Laufs konnte nicht gelesen werden.",
                     read),
          "", 0, 0);
      continue;
    }
    const JobSettings* settings = &state.JobList.front();
    for (const JobSettings& slot : state.JobList) {
      if (slot.JobNumber == leftover.jobNumber) settings = &slot;
    }
    // Killed between keeping a take and emptying its spool file: the bytes are still there (a writer
    // only appends), and the next take prints them.
    std::string spool;
    if (!leftover.committed && files.ReadWholeFile(std::string(settings->Path.View()), spool).ok() &&
        spool.starts_with(bytes)) {
      bytes.clear();
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      store.Forget(leftover.path);
      continue;
    }
    SpoolData data(new (std::nothrow) std::uint8_t[bytes.size()]);
    if (data == nullptr) continue;  // stays on disk for the next run
    std::copy(bytes.begin(), bytes.end(), data.get());
    log.LogError("", "Druckauftrag '" + leftover.path + "' eines frueheren Laufs wird gedruckt.", "", 0, 0);
    std::lock_guard queueLock(state.QueueLock);
    const std::string path = leftover.committed ? leftover.path : store.Commit(leftover.path);
    QueuePrintJob(state, *settings, static_cast<std::int32_t>(bytes.size()), std::move(data), path);
  }
}

}  // namespace quillmark
