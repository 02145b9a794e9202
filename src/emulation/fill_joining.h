#pragma once
// Rules and box lines come as many short pieces; joined, a table border is a few long rectangles. Both
// Epson and HP printers collect their black fills this way before they reach the device.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/print_device.h"

namespace quillmark {

// Widens one of the last few rectangles in `fills` to take in `rect` when they lie on one row or one
// column and touch; true when it did, else `rect` is for the caller to add.
inline bool JoinFill(std::vector<TextRect>& fills, const TextRect& rect) {
  constexpr std::size_t kLookBack = 8;
  const std::size_t first = fills.size() > kLookBack ? fills.size() - kLookBack : 0;
  for (std::size_t i = fills.size(); i-- > first;) {
    TextRect& pending = fills[i];
    if (pending.top == rect.top && pending.bottom == rect.bottom && rect.left <= pending.right &&
        rect.right >= pending.left) {
      pending.left = std::min(pending.left, rect.left);
      pending.right = std::max(pending.right, rect.right);
      return true;
    }
    if (pending.left == rect.left && pending.right == rect.right && rect.top <= pending.bottom &&
        rect.bottom >= pending.top) {
      pending.top = std::min(pending.top, rect.top);
      pending.bottom = std::max(pending.bottom, rect.bottom);
      return true;
    }
  }
  return false;
}

}  // namespace quillmark
