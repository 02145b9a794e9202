#include "emulation/pcl/pcl_page_sizes.h"

#include <cmath>

namespace quillmark {
namespace {

constexpr PclPageSize kSizes[] = {
    {.code = 1, .width = 2175, .length = 3150, .portraitOffset = 75, .landscapeOffset = 60},    // Executive
    {.code = 2, .width = 2550, .length = 3300, .portraitOffset = 75, .landscapeOffset = 60},    // Letter
    {.code = 3, .width = 2550, .length = 4200, .portraitOffset = 75, .landscapeOffset = 60},    // Legal
    {.code = 6, .width = 3300, .length = 5100, .portraitOffset = 75, .landscapeOffset = 60},    // Ledger
    {.code = 25, .width = 1748, .length = 2480, .portraitOffset = 71, .landscapeOffset = 59},   // A5
    {.code = 26, .width = 2480, .length = 3507, .portraitOffset = 71, .landscapeOffset = 59},   // A4
    {.code = 27, .width = 3507, .length = 4960, .portraitOffset = 71, .landscapeOffset = 59},   // A3
    {.code = 45, .width = 2150, .length = 3035, .portraitOffset = 71, .landscapeOffset = 59},   // JIS B5
    {.code = 80, .width = 1162, .length = 2250, .portraitOffset = 75, .landscapeOffset = 60},   // Monarch
    {.code = 81, .width = 1237, .length = 2850, .portraitOffset = 75, .landscapeOffset = 60},   // Com-10
    {.code = 90, .width = 1299, .length = 2598, .portraitOffset = 71, .landscapeOffset = 59},   // DL
    {.code = 91, .width = 1913, .length = 2704, .portraitOffset = 71, .landscapeOffset = 59},   // C5
    {.code = 100, .width = 2078, .length = 2952, .portraitOffset = 71, .landscapeOffset = 59},  // B5
};

}  // namespace

const PclPageSize* FindPclPageSize(std::int32_t code) {
  for (const PclPageSize& size : kSizes) {
    if (size.code == code) return &size;
  }
  return nullptr;
}

const PclPageSize& NearestPclPageSize(double widthMillimetres, double lengthMillimetres) {
  const PclPageSize* best = FindPclPageSize(kPclA4);
  double bestDistance = 1e300;
  for (const PclPageSize& size : kSizes) {
    const double distance = std::abs(size.width * 25.4 / 300 - widthMillimetres) +
                            std::abs(size.length * 25.4 / 300 - lengthMillimetres);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = &size;
    }
  }
  // A sheet that is none of them is printed as A4 or Letter, whichever is nearer.
  if (bestDistance > 10) {
    const bool letter = std::abs(widthMillimetres - 215.9) < std::abs(widthMillimetres - 210.0);
    best = FindPclPageSize(letter ? kPclLetter : kPclA4);
  }
  return *best;
}

}  // namespace quillmark
