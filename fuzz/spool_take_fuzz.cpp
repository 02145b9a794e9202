// Drives the spool watcher's passes over spool files that misbehave as the input says: writers append,
// files cannot be opened or vanish, sizes cannot be read, are too large or change between measuring and
// reading, reads come back short or fail, emptying is refused. The input is a list of (operation,
// argument) byte pairs; operation bit 3 picks one of two slots, a third slot collects and is never taken.
//
// Aborts when a queued job is not exactly what its file held when it was emptied, when a file is emptied
// without a job, when the collecting slot's file is opened, or when one problem is logged twice.

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

  std::int64_t Read(std::uint8_t* buffer, std::int64_t length) override {
    if (std::exchange(file_.failRead, false)) return -1;
    const std::size_t cut = std::min(std::exchange(file_.cutBeforeRead, 0), file_.content.size());
    file_.content.resize(file_.content.size() - cut);
    const std::size_t count = std::min(static_cast<std::size_t>(length), file_.content.size());
    std::memcpy(buffer, file_.content.data(), count);
    return static_cast<std::int64_t>(count);
  }

  // Refused, as without a lease, when the file changed since it was opened.
  bool Empty() override {
    if (std::exchange(file_.failEmpty, false) || file_.content != opened_) return false;
    file_.cuts.push_back(std::move(file_.content));
    file_.content.clear();
    return true;
  }

 private:
  FakeFile& file_;
  std::string opened_;
};

class FaultySpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string& path) override {
    Check(path != "collect.prn");
    FakeFile& file = files[path];
    if (std::exchange(file.failOpen, false)) return nullptr;
    return std::make_unique<FaultySpoolFile>(file);
  }
  std::map<std::string, FakeFile> files;
};

class LogLines final : public FileSystem {
 public:
  bool ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return false;
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view text) override {
    Check(++lines[std::string(text)] == 1);  // same clock, so a repeated problem gives the same line
    return true;
  }
  std::string SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override { return ""; }
  std::map<std::string, int> lines;
};

class StillClock final : public Clock {
 public:
  LocalTime Now() const override { return {}; }
};

JobSettings Slot(std::int32_t number, std::string_view path, std::uint8_t collect) {
  JobSettings settings;
  settings.JobNumber = number;
  settings.Path.Assign(path);
  settings.CollectMode = collect;
  return settings;
}

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using namespace quillmark;
  ProgramState state;
  state.JobList = {Slot(1, "one.prn", 0), Slot(2, "collect.prn", 1), Slot(3, "two.prn", 0)};
  FaultySpoolFiles spool;
  LogLines lines;
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
        file.failEmpty = true;
        break;
      default: {
        RunSpoolPass(state, spool, log, memory);
        // Every job is the whole of one cut, in order; nothing is queued without one.
        PrintJob job;
        while (TakePrintJob(state, job)) {
          const std::string path(job.Settings.Path.View());
          FakeFile& taken = spool.files[path];
          std::size_t& checked = checkedCuts[path];
          Check(checked < taken.cuts.size() && job.DataLength > 0);
          const std::string& cut = taken.cuts[checked++];
          Check(std::string_view(reinterpret_cast<const char*>(job.Data.get()),
                                 static_cast<std::size_t>(job.DataLength)) == cut);
        }
        for (const auto& [path, taken] : spool.files) Check(checkedCuts[path] == taken.cuts.size());
        break;
      }
    }
  }
  return 0;
}
