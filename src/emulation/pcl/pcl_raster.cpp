#include "emulation/pcl/pcl_raster.h"

#include <algorithm>
#include <cstddef>

namespace quillmark {
namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::int32_t length) : data_(data), length_(length) {}
  bool More() const { return at_ < length_; }
  std::int32_t Next() { return at_ < length_ ? data_[at_++] : -1; }
  // A count continued by extra bytes while they are 255.
  std::int64_t Extend(std::int64_t value, std::int64_t escape) {
    if (value != escape) return value;
    for (std::int32_t extra = Next(); extra >= 0; extra = Next()) {
      value += extra;
      if (extra != 255) break;
    }
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::int32_t length_;
  std::int32_t at_ = 0;
};

void Put(std::vector<std::uint8_t>& row, std::int64_t at, std::uint8_t value) {
  if (at >= 0 && at < static_cast<std::int64_t>(row.size())) row[static_cast<std::size_t>(at)] = value;
}

// An 8 x 8 ordered dither: a shade of n/64 sets the dots whose threshold is below n.
constexpr std::uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// The printer's eight shading levels.
std::int32_t ShadeLevel(std::int32_t percent) {
  constexpr struct {
    std::int32_t upTo;
    std::int32_t shade;
  } kLevels[] = {{0, 0}, {2, 2}, {10, 10}, {20, 20}, {35, 35}, {55, 55}, {80, 80}, {99, 99}};
  for (const auto& level : kLevels) {
    if (percent <= level.upTo) return level.shade;
  }
  return 100;
}

}  // namespace

void DecodePclRasterRow(std::int32_t method, const std::uint8_t* data, std::int32_t length,
                        std::int32_t width, std::vector<std::uint8_t>& seed) {
  seed.resize(static_cast<std::size_t>(std::max(0, width)));
  Reader in(data, length);
  if (method == 3 || method == 9) {
    std::int64_t at = 0;
    while (in.More() && at < width) {
      const std::int32_t command = in.Next();
      if (method == 3) {
        const std::int64_t count = (command >> 5) + 1;
        at += in.Extend(command & 31, 31);
        for (std::int64_t i = 0; i < count && in.More(); ++i)
          Put(seed, at++, static_cast<std::uint8_t>(in.Next()));
      } else if ((command & 0x80) == 0) {
        at += in.Extend((command >> 3) & 15, 15);
        const std::int64_t count = in.Extend(command & 7, 7) + 1;
        for (std::int64_t i = 0; i < count && in.More() && at < width; ++i) {
          Put(seed, at++, static_cast<std::uint8_t>(in.Next()));
        }
      } else {
        at += in.Extend((command >> 5) & 3, 3);
        const std::int64_t count = in.Extend(command & 31, 31) + 2;
        const std::int32_t value = in.Next();
        if (value < 0) break;
        for (std::int64_t i = 0; i < count && at < width; ++i)
          Put(seed, at++, static_cast<std::uint8_t>(value));
      }
    }
    return;
  }
  std::fill(seed.begin(), seed.end(), 0);
  std::int64_t at = 0;
  if (method == 0) {
    std::copy_n(data, std::min(length, width), seed.begin());
  } else if (method == 1) {
    while (in.More() && at < width) {
      const std::int32_t count = in.Next() + 1;
      const std::int32_t value = in.Next();
      if (value < 0) break;
      for (std::int32_t i = 0; i < count; ++i) Put(seed, at++, static_cast<std::uint8_t>(value));
    }
  } else if (method == 2) {
    while (in.More() && at < width) {
      const std::int32_t control = in.Next();
      if (control < 128) {
        for (std::int32_t i = 0; i <= control && in.More(); ++i)
          Put(seed, at++, static_cast<std::uint8_t>(in.Next()));
      } else if (control > 128) {
        const std::int32_t value = in.Next();
        if (value < 0) break;
        for (std::int32_t i = 0; i < 257 - control; ++i) Put(seed, at++, static_cast<std::uint8_t>(value));
      }
    }
  }
}

bool PclPatternDot(std::int32_t fill, std::int32_t pattern, std::int64_t x, std::int64_t y) {
  if (fill == 2) {
    const std::int32_t shade = ShadeLevel(pattern);
    const std::int32_t dots = shade == 0 ? 0 : std::max(1, shade * 64 / 100);
    return kBayer[y & 7][x & 7] < dots;
  }
  const std::int64_t period = 16;
  const bool horizontal = (y % period) < 2;
  const bool vertical = (x % period) < 2;
  const bool rising = ((x + y) % period) < 2;
  const bool falling = (((x - y) % period) + period) % period < 2;
  switch (pattern) {
    case 1:
      return horizontal;
    case 2:
      return vertical;
    case 3:
      return rising;
    case 4:
      return falling;
    case 5:
      return horizontal || vertical;
    case 6:
      return rising || falling;
    default:
      return false;
  }
}

}  // namespace quillmark
