#pragma once
// The local wall clock, to the second. Any thread may call it.

namespace quillmark {

struct LocalTime {
  int year = 0;  // full year, e.g. 2007
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

}  // namespace quillmark
