#pragma once
// A Clock that always returns the time it was made with.

#include "platform/clock.h"

namespace quillmark::testing {

class FixedClock final : public Clock {
 public:
  explicit FixedClock(const LocalTime& time = {2007, 3, 15, 9, 41, 5}) : time_(time) {}
  LocalTime Now() const override { return time_; }

 private:
  LocalTime time_;
};

}  // namespace quillmark::testing
