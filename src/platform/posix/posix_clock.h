#pragma once

#include "platform/clock.h"

namespace quillmark {

// The local time from localtime_r.
class PosixClock final : public Clock {
 public:
  LocalTime Now() const override;
};

}  // namespace quillmark
