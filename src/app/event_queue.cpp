#include "app/event_queue.h"

namespace quillmark {

void EventQueue::Append(const Event& event) {
  if (!events_.empty() && events_.back() == event) return;
  events_.push_back(event);
}

Event EventQueue::TakeOldest() {
  Event oldest = events_.front();
  events_.pop_front();
  return oldest;
}

}  // namespace quillmark
