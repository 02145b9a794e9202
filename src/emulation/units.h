#pragma once
// Lengths the printers share. Positions are kept in 1/21,600 inch: it holds every unit of the Epson and
// HP command sets (1/60, 1/72, 1/120, 1/180, 1/216, 1/360, 1/3600 inch and 1/300, 1/600, 1/7200 inch)
// exactly, so no rounding accumulates before the final conversion to dots.

#include <cstdint>

namespace quillmark {

inline constexpr std::int64_t kUnitsPerInch = 21'600;
inline constexpr double kMillimetresPerInch = 25.4;

// `count` lengths of 1/PerInch inch, in units.
template <std::int64_t PerInch>
constexpr std::int64_t InUnits(std::int64_t count) {
  static_assert(PerInch > 0 && kUnitsPerInch % PerInch == 0, "a unit of whole 1/21,600 inches");
  return count * (kUnitsPerInch / PerInch);
}

static_assert(InUnits<60>(1) == 360 && InUnits<72>(1) == 300 && InUnits<180>(1) == 120 &&
              InUnits<216>(1) == 100 && InUnits<360>(1) == 60 && InUnits<3600>(1) == 6);
static_assert(InUnits<300>(1) == 72 && InUnits<600>(1) == 36 && InUnits<7200>(1) == 3);

// A4 and US Letter in millimetres.
inline constexpr float kA4WidthMm = 210.0f;
inline constexpr float kA4HeightMm = 297.0f;

}  // namespace quillmark
