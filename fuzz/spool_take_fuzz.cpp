// Drives the spool watcher's passes over spool files that misbehave as the input says: writers append,
// files cannot be opened or vanish, sizes cannot be read, are too large or change between measuring and
// reading, reads come back short or fail, emptying is refused, the take cannot be kept or flushed. The input
// is a list of (operation, argument) byte pairs; operation bit 3 picks one of two slots.
//
// Aborts when a job said to be taken is not exactly what its file held when it was emptied or has no kept
// copy of the same bytes, when a job left in its file is not what the file still begins with, when a file
// is emptied without a job, when a kept copy outlives its pass, or when one problem is logged twice without
// having cleared in between.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/error_log.h"
#include "spool/spool_watcher.h"

namespace quillmark {
namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// One file and the faults waiting for its next take.
struct FakeFile {
  std::string content;
  bool failOpen = false;
  bool failSize = false;
  bool hugeSize = false;
  std::size_t growAfterSize = 0;  // a writer adds this many bytes once the size has been read
  std::size_t cutBeforeRead = 0;  // someone else cuts this many bytes off the end before the read
  bool failRead = false;
  bool failEmpty = false;
  bool failKeep = false;
  bool failFlush = false;
  std::vector<std::string> cuts;  // what each successful Empty took away, in order
};

class FaultySpoolFile final : public SpoolFile {
 public:
  explicit FaultySpoolFile(FakeFile& file) : file_(file), opened_(file.content) {}

  std::int64_t Size() override {
    if (std::exchange(file_.failSize, false)) return -1;
    const auto size = static_cast<std::int64_t>(file_.content.size());
    if (std::exchange(file_.hugeSize, false)) return size + (std::int64_t{1} << 31);
    file_.content.append(std::exchange(file_.growAfterSize, 0), 'g');
    return size;
  }

  std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    if (std::exchange(file_.failRead, false)) return -1;
    const std::size_t cut = std::min(std::exchange(file_.cutBeforeRead, 0), file_.content.size());
    file_.content.resize(file_.content.size() - cut);
    const auto from = std::min(static_cast<std::size_t>(offset), file_.content.size());
    const std::size_t count = std::min(static_cast<std::size_t>(length), file_.content.size() - from);
    std::memcpy(buffer, file_.content.data() + from, count);
    return static_cast<std::int64_t>(count);
  }

  // Refused, as without a lease, when the file changed since it was opened.
  FileStatus Empty(std::int64_t readSize) override {
    if (std::exchange(file_.failEmpty, false) || file_.content != opened_ ||
        static_cast<std::int64_t>(file_.content.size()) != readSize) {
      return FileStatus::Failed({}, "changed since it was read");
    }
    file_.cuts.push_back(std::move(file_.content));
    file_.content.clear();
    return FileStatus::Done();
  }

 private:
  FakeFile& file_;
  std::string opened_;
};

class FaultySpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override {
    notice = SpoolNotice::kNone;
    FakeFile& file = files[path];
    if (std::exchange(file.failOpen, false)) return nullptr;
    return std::make_unique<FaultySpoolFile>(file);
  }
  std::map<std::string, FakeFile> files;
};

// The error log, and the take store's files in memory.
class LogAndStore final : public FileSystem, public LogSink {
 public:
  FileStatus ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return FileStatus::NotSupported();
  }
  std::string Append(std::string_view, std::string_view text) override {
    // Same clock, so a repeated problem gives the same line. A take that could not be kept is reported
    // again only after one was kept since.
    const bool keep = text.find("gesichert werden") != std::string_view::npos;
    Check(++lines[std::string(text) + (keep ? std::to_string(flushes) : "")] == 1);
    return "";
  }
  FileStatus SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override {
    return FileStatus::NotSupported();
  }
  FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    if (std::exchange(failKeep, false) || stored.contains(path)) return FileStatus::Failed(path, "full");
    stored[path].assign(reinterpret_cast<const char*>(data), size);
    return FileStatus::Done(path);
  }
  FileStatus OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) override {
    if (!stored.contains(path)) return FileStatus::Failed(path, "missing");
    take = std::make_unique<MemoryTakeFile>(stored[path]);
    return FileStatus::Done(path);
  }
  FileStatus FlushToDisk(const std::string& path) override {
    if (std::exchange(failFlush, false) || !stored.contains(path)) return FileStatus::Failed(path, "full");
    ++flushes;
    return FileStatus::Done();
  }
  FileStatus Rename(const std::string& path, const std::string& target) override {
    if (!stored.contains(path) || stored.contains(target)) return FileStatus::Failed(path, "exists");
    stored[target] = std::move(stored[path]);
    stored.erase(path);
    return FileStatus::Done();
  }
  FileStatus RemoveDurably(const std::string& path) override {
    stored.erase(path);
    return FileStatus::Done();
  }

  std::map<std::string, int> lines;
  std::map<std::string, std::string> stored;
  bool failKeep = false;
  bool failFlush = false;
  int flushes = 0;
};

class StillClock final : public Clock {
 public:
  LocalTime Now() const override { return {}; }
};

JobSettings Slot(std::int32_t number, std::string_view path) {
  JobSettings settings;
  settings.JobNumber = number;
  settings.Path.Assign(path);
  return settings;
}

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using namespace quillmark;
  ProgramState state;
  state.JobList = {Slot(1, "one.prn"), Slot(3, "two.prn")};
  FaultySpoolFiles spool;
  LogAndStore lines;
  TakeStore store(lines);
  StillClock clock;
  const ErrorLog log(lines, clock);
  SpoolWatcherMemory memory;
  std::map<std::string, std::size_t> checkedCuts;
  char next = 'a';

  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint8_t operation = input[i];
    const std::uint8_t argument = input[i + 1];
    FakeFile& file = spool.files[(operation & 8) != 0 ? "two.prn" : "one.prn"];
    switch (operation & 7) {
      case 0:
        for (int n = 0; n <= argument % 16; ++n) {
          next = next == 'z' ? 'a' : static_cast<char>(next + 1);
          file.content.push_back(next);
        }
        break;
      case 1:
        file.failOpen = true;
        if ((argument & 1) != 0) file.content.clear();  // deleted; the next open makes it anew
        break;
      case 2:
        ((argument & 1) != 0 ? file.hugeSize : file.failSize) = true;
        break;
      case 3:
        file.growAfterSize = argument % 8 + 1u;
        break;
      case 4:
        file.cutBeforeRead = argument % 4 + 1u;
        break;
      case 5:
        file.failRead = true;
        break;
      case 6:
        (argument % 3 == 0 ? file.failEmpty : argument % 3 == 1 ? lines.failKeep : lines.failFlush) = true;
        break;
      default: {
        RunSpoolPass(state, spool, store, log, memory);
        // Every taken job is the whole of one cut, in order, kept on disk until it is done with; a job left
        // in its file is what the file still begins with; nothing is cut without a job.
        PrintJob job;
        while (TakePrintJob(state, job)) {
          const std::string path(job.Settings.Path.View());
          FakeFile& taken = spool.files[path];
          Check(job.Gate != nullptr && job.File != nullptr && job.DataLength > 0);
          std::string data(static_cast<std::size_t>(job.DataLength), '\0');
          Check(job.File->ReadAt(0, reinterpret_cast<std::uint8_t*>(data.data()), job.DataLength) ==
                job.DataLength);
          if (!job.Gate->Wait()) {
            Check(taken.content.starts_with(data));
            continue;
          }
          std::size_t& checked = checkedCuts[path];
          Check(checked < taken.cuts.size());
          Check(data == taken.cuts[checked++]);
          Check(lines.stored.contains(job.Gate->Path()) && lines.stored[job.Gate->Path()] == data);
          store.Forget(job.Gate->Path());
        }
        for (const auto& [path, taken] : spool.files) Check(checkedCuts[path] == taken.cuts.size());
        Check(lines.stored.empty());
        break;
      }
    }
  }
  return 0;
}
