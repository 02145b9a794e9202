#pragma once
// The LaserJet's paper and envelope sizes with their logical pages, in 300-dpi dots as the PCL 5
// reference tabulates them.

#include <cstdint>

namespace quillmark {

struct PclPageSize {
  std::int32_t code;   // ESC & l # A
  std::int32_t width;  // the physical page, portrait
  std::int32_t length;
  std::int32_t portraitOffset;   // physical left edge to the logical page, portrait
  std::int32_t landscapeOffset;  // the same in landscape
};

inline constexpr std::int32_t kPclLetter = 2;
inline constexpr std::int32_t kPclA4 = 26;

// nullptr for codes the printer ignores.
const PclPageSize* FindPclPageSize(std::int32_t code);
// The size nearest to a sheet given in millimetres (A4 or Letter for anything unusual).
const PclPageSize& NearestPclPageSize(double widthMillimetres, double lengthMillimetres);

}  // namespace quillmark
