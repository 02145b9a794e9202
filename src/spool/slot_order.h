#pragma once
// Which queued document prints next when several slots share the print worker. Each slot's documents keep
// the order of their takes; between slots the worker goes round, so a slot whose printer is slow or fails
// holds up another slot by one attempt at most.

#include <cstdint>
#include <optional>

namespace quillmark {

// The oldest element of the slot that follows `afterSlot` in slot order (wrapping round to the lowest),
// among the slots that have elements in `queue`; without `afterSlot` simply the oldest; end() when `queue`
// is empty. Elements have Settings.JobNumber.
template <class Queue>
auto NextInSlotOrder(Queue& queue, std::optional<std::int32_t> afterSlot) {
  if (!afterSlot) return queue.begin();
  auto next = queue.end();    // oldest of the lowest slot above afterSlot
  auto lowest = queue.end();  // oldest of the lowest slot overall
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    const std::int32_t slot = it->Settings.JobNumber;
    if (lowest == queue.end() || slot < lowest->Settings.JobNumber) lowest = it;
    if (slot > *afterSlot && (next == queue.end() || slot < next->Settings.JobNumber)) next = it;
  }
  return next != queue.end() ? next : lowest;
}

}  // namespace quillmark
