#include "platform/win32/win32_clock.h"

#include "platform/win32/windows_api.h"

namespace quillmark {

LocalTime Win32Clock::Now() const {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace quillmark
