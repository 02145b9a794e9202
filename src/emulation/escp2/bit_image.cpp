#include "emulation/escp2/bit_image.h"

#include <algorithm>

namespace quillmark {
namespace {

// One row of the density table: ESC * m, its bytes per column, its dot width and height in 1/3600 inch.
struct Density {
  int mode;
  std::int32_t bytesPerColumn;
  std::int32_t dotWidth;
  std::int32_t dotHeight;
};

// 8-dot columns print 1/60 inch apart on a 24-pin head, 24-dot columns 1/180 and 48-dot columns 1/360.
constexpr Density kDensities[] = {
    {0, 1, 60, 60},  {1, 1, 30, 60},  {2, 1, 30, 60},  {3, 1, 15, 60},  {4, 1, 45, 60},
    {6, 1, 40, 60},  {32, 3, 60, 20}, {33, 3, 30, 20}, {38, 3, 40, 20}, {39, 3, 20, 20},
    {40, 3, 10, 20}, {71, 6, 20, 10}, {72, 6, 10, 10}, {73, 6, 10, 10},
};

// Transposes an 8 x 8 block of bits: byte i (counted from the high end) becomes bit i (counted from the
// high bit) of every byte. Turns eight columns into eight rows.
std::uint64_t Transpose8(std::uint64_t x) {
  std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x ^= t ^ (t << 28);
  return x;
}

// Clears the bits right of the last dot of every row, so no stray dot is drawn from padding.
void ClearPadding(BitImage& image) {
  const int spare = image.BytesPerRow() * 8 - image.width;
  if (spare == 0 || image.bits.empty()) return;
  const auto mask = static_cast<std::uint8_t>(0xFF << spare);
  for (std::size_t end = static_cast<std::size_t>(image.BytesPerRow()); end <= image.bits.size();
       end += static_cast<std::size_t>(image.BytesPerRow())) {
    image.bits[end - 1] &= mask;
  }
}

}  // namespace

ColumnLayout BitImageLayout(int mode) {
  for (const Density& d : kDensities) {
    if (d.mode == mode) return {d.bytesPerColumn, d.bytesPerColumn * 8, d.dotWidth, d.dotHeight};
  }
  return {};
}

ColumnLayout NinePinBitImageLayout(int mode) {
  // ESC * 0-7 of the 9-pin printer: 60, 120, 120, 240, 80, 72, 90 and 144 columns per inch.
  constexpr std::int32_t kColumnsPerInch[] = {60, 120, 120, 240, 80, 72, 90, 144};
  if (mode < 0 || mode > 7) return {};
  return {1, 8, kImageUnitsPerInch / kColumnsPerInch[mode], kImageUnitsPerInch / 72};
}

ColumnLayout NinePinLayout(int mode) {
  if (mode != 0 && mode != 1) return {};
  return {2, 9, mode == 0 ? 60 : 30, 50};
}

PrinterImage DecodeColumns(const ColumnLayout& layout, std::int32_t columns,
                           std::span<const std::uint8_t> data) {
  PrinterImage out;
  if (layout.bytesPerColumn <= 0 || columns <= 0) return out;
  const auto perColumn = static_cast<std::size_t>(layout.bytesPerColumn);
  const auto width = static_cast<std::int32_t>(
      std::min<std::size_t>(static_cast<std::size_t>(columns), data.size() / perColumn));
  if (width == 0) return out;
  out.dotWidth = layout.dotWidth;
  out.dotHeight = layout.dotHeight;
  BitImage& image = out.image;
  image.width = width;
  image.height = layout.dotsPerColumn;
  const auto rowBytes = static_cast<std::size_t>(image.BytesPerRow());
  image.bits.assign(rowBytes * static_cast<std::size_t>(image.height), 0);
  // Eight columns at a time: the same byte of eight neighbouring columns is one 8 x 8 block of dots.
  for (std::size_t group = 0; group < rowBytes; ++group) {
    const std::size_t first = group * 8;
    const std::size_t count = std::min<std::size_t>(8, static_cast<std::size_t>(width) - first);
    for (std::size_t byte = 0; byte < perColumn; ++byte) {
      std::uint64_t block = 0;
      for (std::size_t k = 0; k < count; ++k) {
        block |= std::uint64_t{data[(first + k) * perColumn + byte]} << (56 - 8 * k);
      }
      if (block == 0) continue;
      block = Transpose8(block);
      for (std::size_t r = 0; r < 8; ++r) {
        const std::size_t row = byte * 8 + r;
        if (row >= static_cast<std::size_t>(image.height)) break;  // the spare bits of ESC ^'s second byte
        image.bits[row * rowBytes + group] = static_cast<std::uint8_t>(block >> (56 - 8 * r));
      }
    }
  }
  return out;
}

PrinterImage DecodeRaster(const RasterLayout& layout, std::span<const std::uint8_t> data) {
  PrinterImage out;
  const bool known = layout.compression == 0 || layout.compression == 1;
  if (!known || layout.rows <= 0 || layout.dots <= 0 || layout.verticalUnit <= 0 ||
      layout.horizontalUnit <= 0) {
    return out;
  }
  BitImage& image = out.image;
  image.width = layout.dots;
  const auto rowBytes = static_cast<std::size_t>(image.BytesPerRow());
  const std::size_t total = rowBytes * static_cast<std::size_t>(layout.rows);
  std::vector<std::uint8_t>& bits = image.bits;
  std::size_t in = 0;
  if (layout.compression == 0) {
    in = std::min(total, data.size());
    bits.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(in));
  } else {
    // The buffer grows only as far as the data fills it, so a short block costs no more than it holds.
    while (bits.size() < total && in < data.size()) {
      const std::uint8_t counter = data[in++];
      if (counter < 128) {
        const std::size_t n = std::min({std::size_t{counter} + 1, data.size() - in, total - bits.size()});
        bits.insert(bits.end(), data.begin() + static_cast<std::ptrdiff_t>(in),
                    data.begin() + static_cast<std::ptrdiff_t>(in + n));
        in += std::min<std::size_t>(std::size_t{counter} + 1, data.size() - in);
      } else if (in < data.size()) {
        const std::size_t n = std::min<std::size_t>(257 - std::size_t{counter}, total - bits.size());
        bits.insert(bits.end(), n, data[in++]);
      }
    }
  }
  if (bits.empty()) {
    image = BitImage();
    return out;
  }
  image.height = static_cast<std::int32_t>((bits.size() + rowBytes - 1) / rowBytes);
  bits.resize(rowBytes * static_cast<std::size_t>(image.height), 0);
  ClearPadding(image);
  out.dotWidth = layout.horizontalUnit;
  out.dotHeight = layout.verticalUnit;
  return out;
}

}  // namespace quillmark
