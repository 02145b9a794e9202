#include "platform/pdf/background_deflater.h"

#include <system_error>
#include <utility>

#include "platform/pdf/pdf_syntax.h"

namespace quillmark::pdf {

BackgroundDeflater::BackgroundDeflater() {
  if (std::thread::hardware_concurrency() < 2) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // Without a thread every piece is compressed by Take.
  }
}

BackgroundDeflater::~BackgroundDeflater() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundDeflater::Start(std::string data) {
  {
    std::lock_guard lock(mutex_);
    input_ = std::move(data);
    busy_ = true;
  }
  changed_.notify_all();
}

std::string BackgroundDeflater::Take() {
  std::unique_lock lock(mutex_);
  if (!thread_.joinable()) {
    busy_ = false;
    return Deflate(input_);
  }
  changed_.wait(lock, [this] { return !busy_; });
  return std::move(output_);
}

void BackgroundDeflater::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || quit_; });
    if (quit_) return;
    const std::string input = std::move(input_);
    lock.unlock();
    std::string output = Deflate(input);
    lock.lock();
    output_ = std::move(output);
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace quillmark::pdf
