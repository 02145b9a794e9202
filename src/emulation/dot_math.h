#pragma once
// Conversions to printer dots. Positions are signed 32-bit; results that would not fit saturate, so that
// arbitrary spool data or settings never overflow.

#include <cmath>
#include <cstdint>
#include <limits>

namespace quillmark {

inline std::int32_t SaturateToInt32(std::int64_t value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value < kMin ? kMin : (value > kMax ? kMax : value));
}

// The nearest whole dot, an exact half going to the even neighbour. Written out rather than relying on
// the floating-point environment's rounding mode. NaN gives 0; values beyond the range saturate.
inline std::int32_t RoundToDots(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  double whole = std::floor(value);
  const double fraction = value - whole;  // exact in this range
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<std::int32_t>(whole);
}

}  // namespace quillmark
