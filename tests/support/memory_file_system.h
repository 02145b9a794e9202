#pragma once
// An in-memory FileSystem for unit tests. Thread-safe, so a log written by a worker can be read by the test.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quillmark::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  FileStatus ReadWholeFile(const std::string& path, std::string& contents) override {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    const bool ok = found != files_.end() && folders_.count(path) == 0;
    contents = ok ? found->second : std::string();
    return ok ? FileStatus::Done() : FileStatus::Failed(path, "No such file or directory");
  }
  bool AppendLocked(const std::string& path, std::string_view headerIfEmpty, std::string_view text) override {
    std::lock_guard lock(mutex_);
    if (folders_.count(path) != 0) return false;
    std::string& file = files_[path];
    if (file.empty()) file.append(headerIfEmpty);
    file.append(text);
    return true;
  }
  // Names the files "<folder>/saved-<n>.prn" in the order they were saved.
  FileStatus SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override {
    std::lock_guard lock(mutex_);
    if (failSaves_) return FileStatus::Failed(folder, kFull);
    const std::string path = folder + "/saved-" + std::to_string(++saved_) + ".prn";
    files_[path].assign(reinterpret_cast<const char*>(data), size);
    return FileStatus::Done(path);
  }

  FileStatus WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    std::lock_guard lock(mutex_);
    if (failDurable_) return FileStatus::Failed(path, kFull);
    if (files_.count(path) != 0) return FileStatus::Failed(path, "File exists");
    files_[path].assign(reinterpret_cast<const char*>(data), size);
    return FileStatus::Done(path);
  }
  FileStatus FlushToDisk(const std::string& path) override {
    return Exists(path) ? FileStatus::Done() : FileStatus::Failed(path, "No such file or directory");
  }
  // Fails like SaveNewFile; names the moved file "<folder>/saved-<n>.prn" as well.
  FileStatus MoveToNewFile(const std::string& path, const std::string& folder) override {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    if (failSaves_) return FileStatus::Failed(folder, kFull);
    if (found == files_.end()) return FileStatus::Failed(path, "No such file or directory");
    const std::string target = folder + "/saved-" + std::to_string(++saved_) + ".prn";
    files_[target] = std::move(found->second);
    files_.erase(path);
    return FileStatus::Done(target);
  }
  FileStatus Rename(const std::string& path, const std::string& target) override {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    if (found == files_.end() || files_.count(target) != 0) return FileStatus::Failed(path, "cannot rename");
    files_[target] = std::move(found->second);
    files_.erase(path);
    return FileStatus::Done();
  }
  FileStatus RemoveDurably(const std::string& path) override {
    std::lock_guard lock(mutex_);
    files_.erase(path);
    return FileStatus::Done();
  }
  FileStatus ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    std::lock_guard lock(mutex_);
    names.clear();
    const std::string prefix = folder + "/";
    for (const auto& [path, contents] : files_) {
      if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos) {
        names.push_back(path.substr(prefix.size()));
      }
    }
    return FileStatus::Done();
  }
  std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    static_cast<void>(ListFiles(folder, names));
    return names;
  }

  void Put(const std::string& path, std::string_view contents) {
    std::lock_guard lock(mutex_);
    files_[path] = std::string(contents);
  }
  std::string Get(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    return found == files_.end() ? std::string() : found->second;
  }
  bool Exists(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return files_.count(path) != 0;
  }
  // Reads and appends fail on a folder, as on disk.
  void MakeFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    folders_.insert(path);
  }
  // SaveNewFile and MoveToNewFile fail as on a full disk: nothing can be kept.
  void FailSaves(bool fail) {
    std::lock_guard lock(mutex_);
    failSaves_ = fail;
  }
  // WriteNewFile fails as on a full disk.
  void FailDurableWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failDurable_ = fail;
  }

 private:
  static constexpr const char* kFull = "No space left on device";
  mutable std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
  bool failSaves_ = false;
  bool failDurable_ = false;
  int saved_ = 0;
};

}  // namespace quillmark::testing
