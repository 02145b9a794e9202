#pragma once
// Compresses one piece of data at a time on a thread of its own, so that a page is deflated while the
// next one is interpreted. Where the machine has a single processor it compresses on the caller's thread
// instead. Owned and called by one thread.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace quillmark::pdf {

class BackgroundDeflater {
 public:
  BackgroundDeflater();
  ~BackgroundDeflater();
  BackgroundDeflater(const BackgroundDeflater&) = delete;
  BackgroundDeflater& operator=(const BackgroundDeflater&) = delete;

  // Starts compressing `data`. The previous piece's result must have been taken.
  void Start(std::string data);
  // Waits for the piece given to Start and returns it compressed (see Deflate).
  std::string Take();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string input_;   // guarded by mutex_
  std::string output_;  // guarded by mutex_
  bool busy_ = false;   // guarded by mutex_: input_ given, output_ not yet made
  bool quit_ = false;   // guarded by mutex_
  std::thread thread_;  // not started on a single processor
};

}  // namespace quillmark::pdf
