#include "spool/take_store.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "settings/paper.h"

namespace quillmark {
namespace {

constexpr std::string_view kTaken = ".prn";
constexpr std::string_view kEmptying = ".new";
constexpr std::string_view kWritten = ".tmp";
constexpr std::string_view kTry = ".try";
constexpr int kMaxTries = 3;

bool ParseNumber(std::string_view text, std::uint64_t& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// "<sequence>-<job>" followed by nothing else.
bool ParseStem(std::string_view stem, std::uint64_t& sequence, std::int32_t& jobNumber) {
  const std::size_t dash = stem.find('-');
  std::uint64_t job = 0;
  if (dash == std::string_view::npos || !ParseNumber(stem.substr(0, dash), sequence) ||
      !ParseNumber(stem.substr(dash + 1), job) || job > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  jobNumber = static_cast<std::int32_t>(job);
  return true;
}

// A take's name (see the header). False for anything else found in the folder, printing records included.
bool ParseTake(std::string_view name, std::uint64_t& sequence, TakeStore::Leftover& take) {
  using Stage = TakeStore::Leftover::Stage;
  std::string_view stem = name;
  if (name.ends_with(kTaken)) {
    take.stage = Stage::kTaken;
  } else if (name.ends_with(kWritten)) {
    take.stage = Stage::kWritten;
  } else if (name.ends_with(kEmptying)) {
    take.stage = Stage::kEmptying;
  } else {
    return false;
  }
  stem.remove_suffix(4);
  if (take.stage == Stage::kEmptying) {
    if (const std::size_t tilde = stem.find('~'); tilde != std::string_view::npos) {
      take.stamp = std::string(stem.substr(tilde + 1));
      stem = stem.substr(0, tilde);
    }
  }
  return ParseStem(stem, sequence, take.jobNumber);
}

// "<sequence>-<job>.<n>.try": the stem of its take and n.
bool ParseTry(std::string_view name, std::string& stem, int& tries) {
  if (!name.ends_with(kTry)) return false;
  name.remove_suffix(kTry.size());
  const std::size_t dot = name.rfind('.');
  std::uint64_t n = 0;
  if (dot == std::string_view::npos || !ParseNumber(name.substr(dot + 1), n) || n > 1000) return false;
  stem = std::string(name.substr(0, dot));
  tries = static_cast<int>(n);
  return true;
}

// The "<sequence>-<job>" of a take's path.
std::string StemOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  return name.substr(0, std::min(name.find('~'), name.find('.')));
}

std::string TryPath(const std::string& stem, int n) {
  return std::string(kQueueFolder) + "/" + stem + "." + std::to_string(n) + std::string(kTry);
}

}  // namespace

std::string TakeStore::NextName(std::int32_t jobNumber) {
  char name[64];
  std::snprintf(name, sizeof name, "%012llu-%d", static_cast<unsigned long long>(next_++),
                static_cast<int>(jobNumber));
  return name;
}

FileStatus TakeStore::Keep(std::int32_t jobNumber, std::uint64_t size,
                           const FileSystem::BlockSource& source) {
  // A name that is taken already is skipped; anything else fails at once as well.
  FileStatus status = FileStatus::NotSupported();
  for (int attempt = 0; attempt < 3; ++attempt) {
    status =
        files_.CopyNewFile(kQueueFolder + ("/" + NextName(jobNumber)) + std::string(kWritten), size, source);
    if (status.ok()) return status;
  }
  return status;
}

FileStatus TakeStore::MarkEmptying(const std::string& path, const std::string& stamp) {
  const std::string stem = path.substr(0, path.size() - kWritten.size());
  const std::string marked = stem + (stamp.empty() ? "" : "~" + stamp) + std::string(kEmptying);
  // Not flushed here: the emptying that follows reaches the disk only after this rename on a journalling
  // file system, and a kill leaves both in the page cache.
  const FileStatus renamed = files_.RenameUnflushed(path, marked);
  return renamed.ok() ? FileStatus::Done(marked) : renamed;
}

std::string TakeStore::Commit(const std::string& path) {
  const std::string final = kQueueFolder + ("/" + StemOf(path)) + std::string(kTaken);
  // Left under its first name when the rename fails; start-up then decides from its stamp.
  return files_.Rename(path, final).ok() ? final : path;
}

void TakeStore::Forget(const std::string& path) {
  // Its printing records first: a record without its take is removed at the next start anyway.
  const std::string stem = StemOf(path);
  {
    std::lock_guard lock(triesMutex_);
    const auto tried = std::find(tried_.begin(), tried_.end(), stem);
    if (tried != tried_.end()) {
      for (int n = 1; n <= kMaxTries; ++n) static_cast<void>(files_.RemoveDurably(TryPath(stem, n)));
      tried_.erase(tried);
    }
  }
  static_cast<void>(files_.RemoveDurably(path));
}

void TakeStore::NotePrinting(const std::string& path) {
  const std::string stem = StemOf(path);
  std::vector<std::string> names;
  if (!files_.ListFiles(kQueueFolder, names).ok()) return;
  int tries = 0;
  for (const std::string& name : names) {
    std::string of;
    int n = 0;
    if (ParseTry(name, of, n) && of == stem) tries = std::max(tries, n);
  }
  // Not flushed: it only has to outlive the process, not a power cut.
  static constexpr std::uint8_t kNothing = 0;
  if (!files_.WriteNewFile(TryPath(stem, tries + 1), &kNothing, 0).ok()) return;
  std::lock_guard lock(triesMutex_);
  if (std::find(tried_.begin(), tried_.end(), stem) == tried_.end()) tried_.push_back(stem);
}

std::string UnprintedFolder(std::int32_t jobNumber) {
  if (jobNumber <= 1) return kUnprintedFolder;
  return kUnprintedFolder + ("/Job_" + std::to_string(jobNumber));
}

FileStatus TakeStore::KeepUnprinted(std::int32_t jobNumber, const std::string& path, const std::uint8_t* data,
                                    std::size_t size) {
  const std::string folder = UnprintedFolder(jobNumber);
  if (!path.empty()) {
    FileStatus moved = files_.MoveToNewFile(path, folder);
    if (moved.ok()) Forget(path);  // its printing records
    return moved;
  }
  if (data == nullptr) return FileStatus::Failed({}, "no data");
  return files_.SaveNewFile(folder, data, size);
}

FileStatus TakeStore::Requeue(const std::string& unprintedName, std::int32_t jobNumber) {
  const std::string target = kQueueFolder + ("/" + NextName(jobNumber)) + std::string(kTaken);
  const FileStatus moved = files_.Rename(UnprintedFolder(jobNumber) + "/" + unprintedName, target);
  return moved.ok() ? FileStatus::Done(target) : moved;
}

std::vector<TakeStore::Leftover> TakeStore::Leftovers(FileStatus& listed) {
  std::vector<Leftover> found;
  std::vector<std::string> names;
  listed = files_.ListFiles(kQueueFolder, names);
  std::map<std::string, int> tries;
  std::map<std::string, bool> takes;
  for (const std::string& name : names) {
    std::string stem;
    int n = 0;
    if (ParseTry(name, stem, n)) tries[stem] = std::max(tries[stem], n);
    if (name.find('.') != std::string::npos) takes[StemOf(name)] |= !ParseTry(name, stem, n);
  }
  // Records of a take that is gone: the run died between removing them and removing it.
  for (const std::string& name : names) {
    std::string stem;
    int n = 0;
    if (ParseTry(name, stem, n) && !takes[stem]) {
      static_cast<void>(files_.RemoveDurably(kQueueFolder + ("/" + name)));
    }
  }
  for (const std::string& name : names) {
    std::uint64_t sequence = 0;
    Leftover leftover;
    if (!ParseTake(name, sequence, leftover)) continue;
    if (sequence >= next_) next_ = sequence + 1;
    leftover.path = kQueueFolder + ("/" + name);
    leftover.tries = tries[StemOf(name)];
    std::lock_guard lock(triesMutex_);
    if (leftover.tries > 0) tried_.push_back(StemOf(name));
    found.push_back(std::move(leftover));
  }
  return found;
}

namespace {

// The slot a take belongs to; null when Settings.ini no longer has it.
const JobSettings* SlotOf(const ProgramState& state, std::int32_t jobNumber) {
  for (const JobSettings& slot : state.JobList) {
    if (slot.JobNumber == jobNumber) return &slot;
  }
  return nullptr;
}

// A take of a slot that is no longer in Settings.ini has no printer: it is kept where a user finds it.
void KeepOrphan(const TakeStore::Leftover& leftover, TakeStore& store, const ErrorLog& log) {
  const FileStatus kept = store.KeepUnprinted(leftover.jobNumber, leftover.path, nullptr, 0);
  const std::string slot = "Job_" + std::to_string(leftover.jobNumber);
  const std::string start = "Druckauftrag '" + leftover.path + "' gehoert zu " + slot +
                            ", das nicht mehr in der Settings.ini steht; ";
  if (!kept.ok()) {
    log.Error(WithReason(start + "er bleibt in der Warteschlange.", kept));
    return;
  }
  log.Error(start + "Druckdaten gespeichert unter '" + kept.path() + "'.");
}

// Whether a take marked for emptying is still at the start of its spool file: the file's stamp is the one
// recorded, or a program wrote to the file after the kill and it now holds the take and more.
bool StillInSpoolFile(FileSystem& files, const JobSettings& settings, const TakeStore::Leftover& take) {
  if (take.stamp.empty()) return false;
  const std::string spool(settings.Path.View());
  std::string now;
  if (!files.ChangeStamp(spool, now).ok()) return false;
  if (now == take.stamp) return true;
  bool continues = false;
  return files.Continues(spool, take.path, continues).ok() && continues;
}

// The length of a take to print, read from its file without reading the bytes (they are read as it prints):
// false when it cannot be read (logged, `size` -1), is empty or too large.
bool MeasureTake(FileSystem& files, const ErrorLog& log, const std::string& path, std::int64_t& size) {
  std::unique_ptr<TakeFile> take;
  FileStatus opened = files.OpenTake(path, take);
  size = opened.ok() ? take->Size() : -1;
  if (opened.ok() && size < 0) opened = FileStatus::Failed(path, "its length cannot be read");
  if (!opened.ok()) {
    log.LogError("", WithReason("Druckauftrag '" + path + "' konnte nicht gelesen werden.", opened), "", 0,
                 0);
    return false;
  }
  return size > 0 && static_cast<std::uint64_t>(size) <= kLargestJob;
}

}  // namespace

void QueueLeftoverTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log) {
  using Stage = TakeStore::Leftover::Stage;
  if (state.JobList.empty()) return;
  FileStatus listed = FileStatus::Done();
  const std::vector<TakeStore::Leftover> leftovers = store.Leftovers(listed);
  if (!listed.ok() && !listed.notSupported()) {
    log.LogError("",
                 WithReason(std::string("Ordner '") + kQueueFolder + "' kann nicht gelesen werden.", listed),
                 "", 0, 0);
  }
  for (const TakeStore::Leftover& leftover : leftovers) {
    const JobSettings* slot = SlotOf(state, leftover.jobNumber);
    if (slot == nullptr) {
      KeepOrphan(leftover, store, log);
      continue;
    }
    const JobSettings& settings = *slot;
    // Killed before its spool file was touched, or before the emptying that its stamp says never came:
    // the bytes are still in the spool file, and the next take prints them.
    if (leftover.stage == Stage::kWritten ||
        (leftover.stage == Stage::kEmptying && StillInSpoolFile(files, settings, leftover))) {
      store.Forget(leftover.path);
      continue;
    }
    std::string path = leftover.stage == Stage::kTaken ? leftover.path : store.Commit(leftover.path);
    if (leftover.tries >= kMaxTries) {
      // Logged before it moves: a kill between the two then leaves the line, and the next start moves it.
      log.Error("Druckauftrag '" + path + "' hat das Programm " + std::to_string(leftover.tries) +
                "-mal beim Drucken beendet und wird nicht mehr gedruckt; er kommt nach '" +
                UnprintedFolder(leftover.jobNumber) + "'.");
      const FileStatus kept = store.KeepUnprinted(leftover.jobNumber, path, nullptr, 0);
      log.Error(kept.ok() ? "Druckdaten gespeichert unter '" + kept.path() + "'."
                          : WithReason("Druckauftrag '" + path + "' bleibt in der Warteschlange.", kept));
      continue;
    }
    std::int64_t size = 0;
    if (!MeasureTake(files, log, path, size)) {
      if (size <= 0) store.Forget(path);
      continue;
    }
    log.LogError("", "Druckauftrag '" + path + "' eines frueheren Laufs wird gedruckt.", "", 0, 0);
    MutexLock queueLock(state.QueueLock);
    QueuePrintJob(state, settings, static_cast<std::int32_t>(size), nullptr, path);
  }
}

void RequeueUnprintedTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log) {
  for (const JobSettings& settings : state.JobList) {
    const std::string folder = UnprintedFolder(settings.JobNumber);
    std::vector<std::string> names;
    if (const FileStatus listed = files.ListFiles(folder, names); !listed.ok()) {
      if (!listed.notSupported()) {
        log.Error(WithReason("Ordner '" + folder + "' kann nicht gelesen werden.", listed));
      }
      continue;
    }
    for (const std::string& name : names) {
      const std::string from = folder + "/" + name;
      const FileStatus moved = store.Requeue(name, settings.JobNumber);
      if (!moved.ok()) {
        log.Error(WithReason("Druckauftrag '" + from + "' konnte nicht erneut eingereiht werden.", moved));
        continue;
      }
      std::int64_t size = 0;
      if (!MeasureTake(files, log, moved.path(), size)) continue;  // a later start prints it
      log.Error("Druckauftrag '" + from + "' wird erneut gedruckt.");
      MutexLock queueLock(state.QueueLock);
      QueuePrintJob(state, settings, static_cast<std::int32_t>(size), nullptr, moved.path());
    }
  }
}

}  // namespace quillmark
