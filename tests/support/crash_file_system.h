#pragma once
// A disk for crash tests: the files of the FileSystem seam and one spool file, keeping what a power cut
// would leave (data and names that were flushed) apart from what was only written. Every step that
// changes the disk is written down in order ("write Warteschlange/1-1.new", "flush ...", "empty",
// "rename a b", "remove a", "move a b", "save a", "deliver"), and Crashed(k) is the disk as it would be
// found after a power cut right after step k. An emptied spool file counts as on the disk at once, the
// worst case for the bytes it held. Single-threaded.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/spool_file.h"

namespace quillmark::testing {

struct Disk {
  std::map<std::string, std::string> files;
  std::string spool;
  int delivered = 0;  // documents handed to the printer
  int appended = 0;   // writes to the spool file
  int emptied = 0;    // cuts of the spool file
};

class CrashDisk final : public FileSystem, public SpoolFiles {
 public:
  explicit CrashDisk(Disk disk = {}) : live_(disk), durable_(std::move(disk)) {}

  const std::vector<std::string>& Steps() const { return steps_; }
  Disk Crashed(std::size_t steps) const { return steps == 0 ? first_ : after_[steps - 1]; }
  const Disk& Live() const { return live_; }
  // A program writes to the spool file; on the disk at once.
  void Append(const std::string& bytes) {
    for (Disk* disk : {&live_, &durable_}) disk->spool += bytes, ++disk->appended;
    if (steps_.empty()) first_ = durable_;
  }
  void Deliver() {
    Step("deliver", [](Disk& disk) { ++disk.delivered; });
  }

  FileStatus ReadWholeFile(const std::string& path, std::string& contents) override {
    const auto found = live_.files.find(path);
    contents = found != live_.files.end() ? found->second : path == kSpool ? live_.spool : std::string();
    return found != live_.files.end() || path == kSpool ? FileStatus::Done() : Missing(path);
  }
  FileStatus SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override {
    const std::string path = NewName(folder);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Step("save " + path, [&](Disk& disk) { disk.files[path] = bytes; });
    return FileStatus::Done(path);
  }
  FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    if (live_.files.count(path) != 0) return FileStatus::Failed(path, "File exists");
    live_.files[path].assign(reinterpret_cast<const char*>(data), size);
    Step("write " + path, [](Disk&) {});
    return FileStatus::Done(path);
  }
  FileStatus FlushToDisk(const std::string& path) override {
    if (live_.files.count(path) == 0) return Missing(path);
    const std::string bytes = live_.files[path];
    Step("flush " + path, [&](Disk& disk) { disk.files[path] = bytes; });
    return FileStatus::Done();
  }
  // The names change on the disk at once; data never flushed arrives as an empty file.
  FileStatus MoveToNewFile(const std::string& path, const std::string& folder) override {
    const std::string target = NewName(folder);
    return Move("move", path, target) ? FileStatus::Done(target) : Missing(path);
  }
  FileStatus Rename(const std::string& path, const std::string& target) override {
    if (live_.files.count(target) != 0) return FileStatus::Failed(target, "File exists");
    return Move("rename", path, target) ? FileStatus::Done(target) : Missing(path);
  }
  FileStatus RemoveDurably(const std::string& path) override {
    live_.files.erase(path);
    Step("remove " + path, [&](Disk& disk) { disk.files.erase(path); });
    return FileStatus::Done();
  }
  FileStatus ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    for (const auto& [path, bytes] : live_.files) {
      if (path.starts_with(folder + "/")) names.push_back(path.substr(folder.size() + 1));
    }
    return FileStatus::Done();
  }

  std::unique_ptr<SpoolFile> Open(const std::string&, SpoolNotice& notice) override {
    notice = SpoolNotice::kNone;
    return std::make_unique<Spool>(*this);
  }

  static constexpr const char* kSpool = "SPOOL.PRN";

  // Every write and every cut of the spool file gives it another stamp, as its change time would.
  FileStatus ChangeStamp(const std::string& path, std::string& stamp) override {
    stamp = path == kSpool ? Stamp(live_) : std::string();
    return path == kSpool ? FileStatus::Done() : FileStatus::NotSupported(path);
  }

  FileStatus Continues(const std::string& path, const std::string& earlier, bool& continues) override {
    const auto found = live_.files.find(earlier);
    if (path != kSpool || found == live_.files.end()) return Missing(path != kSpool ? path : earlier);
    continues = live_.spool.size() > found->second.size() && live_.spool.starts_with(found->second);
    return FileStatus::Done();
  }

 private:
  static std::string Stamp(const Disk& disk) {
    return std::to_string(disk.appended) + "-" + std::to_string(disk.emptied);
  }

  struct Spool final : SpoolFile {
    explicit Spool(CrashDisk& d) : disk(d) {}
    std::int64_t Size() override { return std::ssize(disk.live_.spool); }
    std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
      const auto count = std::clamp<std::int64_t>(Size() - offset, 0, length);
      std::copy_n(disk.live_.spool.begin() + offset, count, buffer);
      return count;
    }
    FileStatus Empty(std::int64_t readSize) override {
      if (readSize != Size()) return FileStatus::Failed(kSpool, "written to since it was read");
      disk.live_.spool.clear();
      ++disk.live_.emptied;
      disk.Step("empty", [](Disk& d) { d.spool.clear(), ++d.emptied; });
      return FileStatus::Done();
    }
    std::string ChangeStamp() override { return Stamp(disk.live_); }
    CrashDisk& disk;
  };

  template <typename Change>
  void Step(const std::string& step, Change change) {
    change(durable_);
    if (step == "deliver" || step.starts_with("save ")) change(live_);
    steps_.push_back(step);
    after_.push_back(durable_);
  }
  bool Move(const char* verb, const std::string& path, const std::string& target) {
    const auto found = live_.files.find(path);
    if (found == live_.files.end()) return false;
    live_.files[target] = found->second;
    live_.files.erase(path);
    Step(std::string(verb) + " " + path + " " + target, [&](Disk& disk) {
      disk.files[target] = disk.files.count(path) != 0 ? disk.files[path] : std::string();
      disk.files.erase(path);
    });
    return true;
  }
  static FileStatus Missing(const std::string& path) {
    return FileStatus::Failed(path, "No such file or directory");
  }
  std::string NewName(const std::string& folder) const {
    return folder + "/kept-" + std::to_string(steps_.size() + 1) + ".prn";
  }

  Disk live_;
  Disk durable_;
  Disk first_ = durable_;
  std::vector<std::string> steps_;
  std::vector<Disk> after_;  // the disk after each step
};

}  // namespace quillmark::testing
