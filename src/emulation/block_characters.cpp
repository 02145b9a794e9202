#include "emulation/block_characters.h"

#include <algorithm>
#include <array>

namespace quillmark {
namespace {

// Per line character: the weight of its left, right, up and down arm in two bits each (left in the
// lowest): 0 none, 1 light, 2 heavy, 3 double. Dashed lines print solid; 0 draws as a glyph.
// clang-format off
constexpr std::array<std::uint8_t, 128> kArms = {
    0x05, 0x0A, 0x50, 0xA0, 0x05, 0x0A, 0x50, 0xA0, 0x05, 0x0A, 0x50, 0xA0, 0x44, 0x48, 0x84, 0x88,  // U+2500
    0x41, 0x42, 0x81, 0x82, 0x14, 0x18, 0x24, 0x28, 0x11, 0x12, 0x21, 0x22, 0x54, 0x58, 0x64, 0x94,  // U+2510
    0xA4, 0x68, 0x98, 0xA8, 0x51, 0x52, 0x61, 0x91, 0xA1, 0x62, 0x92, 0xA2, 0x45, 0x46, 0x49, 0x4A,  // U+2520
    0x85, 0x86, 0x89, 0x8A, 0x15, 0x16, 0x19, 0x1A, 0x25, 0x26, 0x29, 0x2A, 0x55, 0x56, 0x59, 0x5A,  // U+2530
    0x65, 0x95, 0xA5, 0x66, 0x69, 0x96, 0x99, 0x6A, 0x9A, 0xA6, 0xA9, 0xAA, 0x05, 0x0A, 0x50, 0xA0,  // U+2540
    0x0F, 0xF0, 0x4C, 0xC4, 0xCC, 0x43, 0xC1, 0xC3, 0x1C, 0x34, 0x3C, 0x13, 0x31, 0x33, 0x5C, 0xF4,  // U+2550
    0xFC, 0x53, 0xF1, 0xF3, 0x4F, 0xC5, 0xCF, 0x1F, 0x35, 0x3F, 0x5F, 0xF5, 0xFF, 0x44, 0x41, 0x11,  // U+2560
    0x14, 0x00, 0x00, 0x00, 0x01, 0x10, 0x04, 0x40, 0x02, 0x20, 0x08, 0x80, 0x09, 0x90, 0x06, 0x60,  // U+2570
};
// clang-format on

enum Arm { kLeft, kRight, kUp, kDown };

int Weight(std::uint8_t arms, Arm arm) { return (arms >> (2 * arm)) & 3; }

// How far a line of that weight reaches from the centre on each side.
std::int32_t HalfExtent(int weight, std::int32_t t) {
  switch (weight) {
    case 1:
      return (t + 1) / 2;
    case 2:
      return t;
    case 3:
      return t + (t + 1) / 2;
    default:
      return 0;
  }
}

void Add(std::vector<TextRect>& out, std::int32_t left, std::int32_t top, std::int32_t right,
         std::int32_t bottom) {
  if (right > left && bottom > top) out.push_back(TextRect{left, top, right, bottom});
}

// One arm from the cell's edge [from, to) along its axis, centred on the centre line across it.
void AddArm(std::vector<TextRect>& out, bool horizontal, int weight, std::int32_t from, std::int32_t to,
            std::int32_t centre, std::int32_t t) {
  auto band = [&](std::int32_t a, std::int32_t b) {
    if (horizontal)
      Add(out, from, a, to, b);
    else
      Add(out, a, from, b, to);
  };
  if (weight == 3) {
    band(centre - t - (t + 1) / 2, centre - (t + 1) / 2);
    band(centre + t / 2, centre + t / 2 + t);
  } else {
    const std::int32_t half = weight == 2 ? t : t / 2;
    const std::int32_t width = weight == 2 ? 2 * t : t;
    band(centre - half, centre - half + width);
  }
}

void Lines(std::uint8_t arms, const TextRect& c, std::int32_t t, std::vector<TextRect>& out) {
  const std::int32_t cx = c.left + (c.right - c.left) / 2;
  const std::int32_t cy = c.top + (c.bottom - c.top) / 2;
  const std::int32_t reachX =
      std::max({HalfExtent(Weight(arms, kUp), t), HalfExtent(Weight(arms, kDown), t),
                HalfExtent(Weight(arms, kLeft), t), HalfExtent(Weight(arms, kRight), t)});
  const std::int32_t reachY = reachX;
  if (const int w = Weight(arms, kLeft)) AddArm(out, true, w, c.left, cx + reachX, cy, t);
  if (const int w = Weight(arms, kRight)) AddArm(out, true, w, cx - reachX, c.right, cy, t);
  if (const int w = Weight(arms, kUp)) AddArm(out, false, w, c.top, cy + reachY, cx, t);
  if (const int w = Weight(arms, kDown)) AddArm(out, false, w, cy - reachY, c.bottom, cx, t);
}

// Shades as a grid of squares: a quarter, half or three quarters of them inked.
void Shade(int level, const TextRect& c, std::int32_t t, std::vector<TextRect>& out) {
  const std::int32_t s = std::max<std::int32_t>(1, 2 * t);
  int row = 0;
  for (std::int32_t y = c.top; y < c.bottom; y += s, ++row) {
    int column = 0;
    for (std::int32_t x = c.left; x < c.right; x += s, ++column) {
      const bool inked = level == 1   ? (row % 2 == 0 && column % 2 == 0)
                         : level == 2 ? ((row + column) % 2 == 0)
                                      : !(row % 2 == 1 && column % 2 == 1);
      if (inked) Add(out, x, y, std::min(x + s, c.right), std::min(y + s, c.bottom));
    }
  }
}

}  // namespace

bool BlockRectangles(char32_t c, const TextRect& cell, std::int32_t lineWidth, std::vector<TextRect>& out) {
  const std::int32_t t = std::max<std::int32_t>(1, lineWidth);
  if (c >= 0x2500 && c < 0x2580) {
    const std::uint8_t arms = kArms[c - 0x2500];
    if (arms == 0) return false;
    Lines(arms, cell, t, out);
    return true;
  }
  if (c < 0x2580 || c > 0x259F) return false;
  const std::int32_t w = cell.right - cell.left;
  const std::int32_t h = cell.bottom - cell.top;
  const std::int32_t midX = cell.left + w / 2;
  const std::int32_t midY = cell.top + h / 2;
  const auto eighthsDown = [&](int n) { return cell.top + h * n / 8; };
  const auto eighthsRight = [&](int n) { return cell.left + w * n / 8; };
  if (c == 0x2580) Add(out, cell.left, cell.top, cell.right, midY);
  if (c >= 0x2581 && c <= 0x2588)
    Add(out, cell.left, eighthsDown(0x2588 - static_cast<int>(c)), cell.right, cell.bottom);
  if (c >= 0x2589 && c <= 0x258F)
    Add(out, cell.left, cell.top, eighthsRight(0x2590 - static_cast<int>(c)), cell.bottom);
  if (c == 0x2590) Add(out, midX, cell.top, cell.right, cell.bottom);
  if (c >= 0x2591 && c <= 0x2593) Shade(static_cast<int>(c - 0x2590), cell, t, out);
  if (c == 0x2594) Add(out, cell.left, cell.top, cell.right, eighthsDown(1));
  if (c == 0x2595) Add(out, eighthsRight(7), cell.top, cell.right, cell.bottom);
  if (c >= 0x2596) {
    // Quadrants: upper left, upper right, lower left, lower right in bits 0-3.
    static constexpr std::array<std::uint8_t, 10> kQuadrants = {0x4, 0x8, 0x1, 0xD, 0x9,
                                                                0x7, 0xB, 0x2, 0x6, 0xE};
    const std::uint8_t q = kQuadrants[c - 0x2596];
    if (q & 1) Add(out, cell.left, cell.top, midX, midY);
    if (q & 2) Add(out, midX, cell.top, cell.right, midY);
    if (q & 4) Add(out, cell.left, midY, midX, cell.bottom);
    if (q & 8) Add(out, midX, midY, cell.right, cell.bottom);
  }
  return true;
}

}  // namespace quillmark
