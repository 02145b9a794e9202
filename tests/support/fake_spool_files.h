#pragma once
// In-memory spool files for unit tests, with switches that inject the failures a real file can have.
// Thread-safe: an open file holds the fake's lock until it is destroyed, so Append() from a test thread
// waits for the take like a writer waits for the lease.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/spool_file.h"

namespace quillmark::testing {

class FakeSpoolFiles final : public SpoolFiles {
 public:
  struct Entry {
    std::string bytes;
    bool refuse = false;            // Open() fails: folder missing, or another process has the file open
    std::int64_t claimedSize = -2;  // reported by Size() instead of the real length when not -2
    bool shortRead = false;         // Read() delivers one byte less than asked
    bool failEmpty = false;         // Empty() fails and changes nothing
    int opens = 0;
  };

  std::unique_ptr<SpoolFile> Open(const std::string& path) override {
    std::unique_lock lock(mutex_);
    Entry& entry = files_[path];  // created empty when missing
    ++entry.opens;
    if (entry.refuse) return nullptr;
    return std::make_unique<File>(std::move(lock), entry);
  }

  // Test set-up and inspection.
  void Put(const std::string& path, std::string_view bytes) {
    With(path, [&](Entry& e) { e.bytes = bytes; });
  }
  void Append(const std::string& path, std::string_view bytes) {
    With(path, [&](Entry& e) { e.bytes.append(bytes); });
  }
  template <typename Change>
  void With(const std::string& path, Change change) {
    std::lock_guard lock(mutex_);
    change(files_[path]);
  }
  Entry Get(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    return found == files_.end() ? Entry{} : found->second;
  }

 private:
  class File final : public SpoolFile {
   public:
    File(std::unique_lock<std::mutex> lock, Entry& entry) : lock_(std::move(lock)), entry_(entry) {}
    std::int64_t Size() override {
      return entry_.claimedSize != -2 ? entry_.claimedSize : static_cast<std::int64_t>(entry_.bytes.size());
    }
    std::int64_t Read(std::uint8_t* buffer, std::int64_t length) override {
      std::int64_t count = std::min<std::int64_t>(length, static_cast<std::int64_t>(entry_.bytes.size()));
      if (entry_.shortRead && count > 0) --count;
      std::memcpy(buffer, entry_.bytes.data(), static_cast<std::size_t>(count));
      return count;
    }
    bool Empty() override {
      if (entry_.failEmpty) return false;
      entry_.bytes.clear();
      return true;
    }

   private:
    std::unique_lock<std::mutex> lock_;
    Entry& entry_;
  };

  std::mutex mutex_;
  std::map<std::string, Entry> files_;
};

}  // namespace quillmark::testing
