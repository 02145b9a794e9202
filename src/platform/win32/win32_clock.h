#pragma once

#include "platform/clock.h"

namespace quillmark {

// The local time from GetLocalTime.
class Win32Clock final : public Clock {
 public:
  LocalTime Now() const override;
};

}  // namespace quillmark
