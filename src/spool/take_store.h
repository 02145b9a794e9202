#pragma once
// Takes kept on disk from the moment they leave the spool file until their document is delivered or their
// bytes are kept under "Ungedruckt/". A process that dies in between loses nothing: the next run prints
// what is left, in the order it was taken. A job prints twice only when the process died after delivering
// it and before its file was removed.
//
// Each take lives in "Warteschlange/" in the working directory under names that say how far it got;
// sequences grow with every take and sort by name:
//   "<sequence>-<job>.tmp"          written; its spool file was not touched yet (start-up removes it)
//   "<sequence>-<job>~<stamp>.new"  about to be emptied out of a spool file whose change stamp was <stamp>
//   "<sequence>-<job>.prn"          out of its spool file for good
//   "<sequence>-<job>.<n>.try"      the n-th start that began printing it (three, and it goes to Ungedruckt/)
// A ".new" take found at start-up is decided from that durable record, never from the spool file's bytes:
// the stamp unchanged means the file was never emptied (the bytes are still there, the take is dropped);
// changed, the take prints. A ".new" take without a stamp (a platform that cannot give one) prints.
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

// Where the undelivered takes of slot `jobNumber` are kept: "Ungedruckt" for slot 1, as always, and
// "Ungedruckt/Job_<n>" for the others, so that each take keeps its slot.
std::string UnprintedFolder(std::int32_t jobNumber);

class TakeStore {
 public:
  explicit TakeStore(FileSystem& files) : files_(files) {}

  // Writes a take of `size` bytes from `source` a block at a time, not yet flushed. Done with its path;
  // otherwise the spool file must stay as it is.
  FileStatus Keep(std::int32_t jobNumber, std::uint64_t size, const FileSystem::BlockSource& source);
  // Opens a take's file for printing.
  FileStatus Open(const std::string& path, std::unique_ptr<TakeFile>& take) {
    return files_.OpenTake(path, take);
  }
  // Right before its spool file is emptied: records the file's change stamp with the take. Done with the
  // take's path from now on; failed, the spool file must stay as it is.
  FileStatus MarkEmptying(const std::string& path, const std::string& stamp);
  // Flushes a kept take to the disk; only then may its spool file be emptied.
  FileStatus Flush(const std::string& path) { return files_.FlushToDisk(path); }
  // After the spool file was emptied: gives the take its final name. Its path from now on.
  std::string Commit(const std::string& path);
  // Removes a take that was delivered, or that was given back to its spool file.
  // A file that cannot be removed prints again after a restart, which is the safe side. Its printing
  // records go with it.
  void Forget(const std::string& path);
  // Print worker, before printing a take an earlier run left: records one more start that began printing
  // it, so that a take that ends the program every time is set aside after three.
  void NotePrinting(const std::string& path);
  // Keeps the bytes of a document of slot `jobNumber` that was not delivered in its UnprintedFolder: the
  // take's file is moved there, or, for a job without one, the bytes are written there. Done with the new
  // path.
  FileStatus KeepUnprinted(std::int32_t jobNumber, const std::string& path, const std::uint8_t* data,
                           std::size_t size);

  struct Leftover {
    std::string path;
    std::int32_t jobNumber = 0;
    enum class Stage { kWritten, kEmptying, kTaken } stage = Stage::kTaken;
    std::string stamp;  // kEmptying: the spool file's change stamp before it was emptied; may be empty
    int tries = 0;      // starts that began printing it
  };
  // Takes an earlier run left behind, oldest first. Later takes are numbered after them. `listed` says
  // whether the folder could be read.
  std::vector<Leftover> Leftovers(FileStatus& listed);
  // "Spool ausdrucken": moves one file of slot `jobNumber`'s UnprintedFolder back into the queue as a taken
  // take of that slot. Done with its new path.
  FileStatus Requeue(const std::string& unprintedName, std::int32_t jobNumber);

 private:
  std::string NextName(std::int32_t jobNumber);

  FileSystem& files_;
  std::atomic<std::uint64_t> next_{1};
  std::mutex triesMutex_;
  std::vector<std::string> tried_;  // printing records written, guarded by triesMutex_
};

// Whether a take that the worker may already be printing has left its spool file for good. The watcher
// settles it once, after flushing the take and emptying the file; the worker waits for that before it
// delivers the document or touches the take's file, so the flush overlaps the printing.
class TakeGate {
 public:
  // Watcher: the take is out of the spool file and on the disk as `path` (taken), or it stays in the spool
  // file and its copy `path` was removed, or is to be once nothing reads it (not taken).
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
// A take of an unknown slot prints with the first slot's settings. A take that three earlier starts began
// to print and never finished moves to "Ungedruckt/" with a log entry instead.
void QueueLeftoverTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log);

// "Spool ausdrucken": every file kept for a slot of Settings.ini goes back into the print queue (the printer
// may be back) on its own slot, one log entry each. Main thread, while the threads run.
void RequeueUnprintedTakes(ProgramState& state, TakeStore& store, FileSystem& files, const ErrorLog& log);

}  // namespace quillmark
