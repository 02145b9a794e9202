#pragma once
// Events of the main window and the queue in which they wait for WaitEvent. Main thread only.

#include <deque>

#include "platform/desktop.h"

namespace quillmark {

enum class EventKind { CloseRequest, TrayEvent, MenuChoice, Other };

struct Event {
  EventKind kind = EventKind::Other;
  int window = 0;                       // the main window is 0
  TrayMouse mouse = TrayMouse::Other;   // tray events only
  int item = 0;                         // menu choices only: 1 "Spool ausdrucken", 2 "Beenden"

  bool operator==(const Event&) const = default;
};

// First in, first out. An event equal to the newest one still waiting is not appended twice, so a burst
// of identical notifications opens the menu once.
class EventQueue {
 public:
  void Append(const Event& event);
  bool Empty() const { return events_.empty(); }
  Event TakeOldest();

 private:
  std::deque<Event> events_;
};

}  // namespace quillmark
