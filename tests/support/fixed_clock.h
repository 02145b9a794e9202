#pragma once
// A Clock that returns whatever the test set. Thread-safe.

#include <mutex>

#include "platform/clock.h"

namespace quillmark::testing {

class FixedClock final : public Clock {
 public:
  FixedClock() = default;
  explicit FixedClock(const LocalTime& time) : time_(time) {}

  LocalTime Now() const override {
    std::lock_guard lock(mutex_);
    return time_;
  }
  void Set(const LocalTime& time) {
    std::lock_guard lock(mutex_);
    time_ = time;
  }

 private:
  mutable std::mutex mutex_;
  LocalTime time_{2007, 3, 15, 9, 41, 5};
};

}  // namespace quillmark::testing
