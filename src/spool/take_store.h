#pragma once
// Takes kept on disk from the moment they leave the spool file until their document is delivered or their
// bytes are kept under "Ungedruckt/". A process that dies in between loses nothing: the next run prints
// what is left, in the order it was taken. A job prints twice only when the process died after delivering
// it and before its file was removed.
//
// Each take is the file "Warteschlange/<sequence>-<job number>.prn" in the working directory; sequences
// grow with every take and sort by name. A take is first written as "<sequence>-<job number>.new" and gets
// its final name only after its spool file was emptied: a ".new" file found at start-up whose bytes still
// begin its spool file was never taken out of it and is dropped, so a kill in between prints nothing twice.
// Keep runs on the spool watcher's thread, Forget and KeepUnprinted on the print worker's (Forget also on the
// watcher's for a take it gives back), Leftovers at start-up before either thread exists.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "log/error_log.h"
#include "platform/file_system.h"
#include "spool/program_state.h"

namespace quillmark {

inline constexpr const char* kQueueFolder = "Warteschlange";
inline constexpr const char* kUnprintedFolder = "Ungedruckt";

class TakeStore {
 public:
  explicit TakeStore(FileSystem& files) : files_(files) {}

  // Writes a take, not yet flushed. Done with its path; otherwise the spool file must stay as it is.
  FileStatus Keep(std::int32_t jobNumber, const std::uint8_t* data, std::size_t size);
  // Flushes a kept take to the disk; only then may its spool file be emptied.
  FileStatus Flush(const std::string& path) { return files_.FlushToDisk(path); }
  // After the spool file was emptied: gives the take its final name. Its path from now on.
  std::string Commit(const std::string& path);
  // Removes a take that was delivered, or that was given back to its spool file.
  // A file that cannot be removed prints again after a restart, which is the safe side.
  void Forget(const std::string& path) { static_cast<void>(files_.RemoveDurably(path)); }
  // Keeps the bytes of a document that was not delivered under "Ungedruckt/": the take's file is moved
  // there, or, for a job without one, the bytes are written there. Done with the new path.
  FileStatus KeepUnprinted(const std::string& path, const std::uint8_t* data, std::size_t size);

  struct Leftover {
    std::string path;
    std::int32_t jobNumber = 0;
    bool committed = false;
  };
  // Takes an earlier run left behind, oldest first. Later takes are numbered after them.
  std::vector<Leftover> Leftovers();

 private:
  FileSystem& files_;
  std::atomic<std::uint64_t> next_{1};
};

// Whether a take that the worker may already be printing has left its spool file for good. The watcher
// settles it once, after flushing the take and emptying the file; the worker waits for that before it
// delivers the document or touches the take's file, so the flush overlaps the printing.
class TakeGate {
 public:
  // Watcher: the take is out of the spool file and on the disk as `path` (taken), or it stays in the spool
  // file and its copy is gone (not taken).
  void Settle(bool taken, std::string path) {
    {
      std::lock_guard lock(mutex_);
      path_ = std::move(path);
      state_ = taken ? kTaken : kLeft;
    }
    settled_.notify_all();
  }
  // Worker: blocks until settled; true when taken. Path() is valid from then on.
  bool Wait() const {
    std::unique_lock lock(mutex_);
    // A mutex and condition variable rather than atomic wait: the latter loses wake-ups in the C++
    // library that the Windows build uses.
    settled_.wait(lock, [this] { return state_ != kOpen; });
    return state_ == kTaken;
  }
  const std::string& Path() const { return path_; }

 private:
  static constexpr int kOpen = 0, kTaken = 1, kLeft = 2;
  mutable std::mutex mutex_;
  mutable std::condition_variable settled_;
  int state_ = kOpen;  // guarded by mutex_
  std::string path_;   // written before state_ leaves kOpen, read after
};

// Start-up, before the threads run: queues every leftover take ahead of new ones, each with one log entry.
// A take of an unknown slot prints with the first slot's settings.
void QueueLeftoverTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log);

}  // namespace quillmark
