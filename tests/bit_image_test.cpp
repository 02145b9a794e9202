#include "emulation/escp2/bit_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmark {
namespace {

// "WxH dot size: x,y x,y ..." with every set dot, row by row.
std::string Dots(const PrinterImage& decoded) {
  const BitImage& image = decoded.image;
  std::string out = std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
                    std::to_string(decoded.dotWidth) + "/" + std::to_string(decoded.dotHeight) + ":";
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.BytesPerRow() * 8; ++x) {
      if (image.bits.at(static_cast<std::size_t>(y * image.BytesPerRow() + x / 8)) & (0x80 >> (x % 8))) {
        out += " " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return out;
}

TEST(BitImage, ColumnGraphics) {
  const struct {
    ColumnLayout layout;
    int columns;
    std::vector<std::uint8_t> data;
    const char* dots;
  } cases[] = {
      {BitImageLayout(0), 2, {0x80, 0x01}, "2x8 60/60: 0,0 1,7"},
      {BitImageLayout(3), 9, {0, 0, 0, 0, 0, 0, 0, 0x40, 0x81}, "9x8 15/60: 8,0 7,1 8,7"},
      {BitImageLayout(39), 1, {0x80, 0x00, 0x01}, "1x24 20/20: 0,0 0,23"},
      {BitImageLayout(73), 1, {0, 0, 0, 0, 0, 0x01}, "1x48 10/10: 0,47"},
      {NinePinLayout(1), 2, {0x01, 0x80, 0x00, 0x7F}, "2x9 30/50: 0,7 0,8"},
      // Headers that claim more than is there decode the whole columns that are.
      {BitImageLayout(40), 65535, {0x80, 0x00, 0x01, 0xFF}, "1x24 10/20: 0,0 0,23"},
      {BitImageLayout(72), 65535, {1, 2, 3, 4, 5}, "0x0 0/0:"},
      {BitImageLayout(5), 1, {0xFF}, "0x0 0/0:"},
      {NinePinLayout(2), 1, {0xFF, 0xFF}, "0x0 0/0:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dots(DecodeColumns(c.layout, c.columns, c.data)), c.dots) << c.columns;
  }
}

TEST(BitImage, RasterGraphics) {
  const struct {
    RasterLayout layout;  // compression, v, h, rows, dots
    std::vector<std::uint8_t> data;
    const char* dots;
    std::size_t used;
  } cases[] = {
      {{0, 10, 20, 2, 10}, {0x80, 0xFF, 0x00, 0x40}, "10x2 20/10: 0,0 8,0 9,0 9,1", 4},
      {{0, 10, 10, 3, 16}, {0x01, 0x00, 0x80}, "16x2 10/10: 7,0 0,1", 3},  // cut off in the second row
      {{1, 20, 20, 2, 16}, {0xFE, 0x81}, "16x2 20/20: 0,0 7,0 8,0 15,0 0,1 7,1", 2},
      {{1, 20, 20, 1, 16}, {0x01, 0x80, 0x01, 0x7F}, "16x1 20/20: 0,0 15,0", 3},
      {{1, 5, 5, 1, 8}, {0x81, 0x01, 0x00, 0x80}, "8x1 5/5: 7,0", 2},  // a run past the image
      {{1, 5, 5, 2, 8}, {0x05, 0x02}, "8x1 5/5: 6,0", 2},              // literals cut off
      {{1, 5, 5, 255, 65535}, {0x81, 0x00, 0xFF}, "65535x1 5/5:", 3},  // a dangling counter
      {{2, 10, 10, 1, 8}, {0xFF}, "0x0 0/0:", 0},
      {{0, 0, 10, 1, 8}, {0xFF}, "0x0 0/0:", 0},
  };
  for (const auto& c : cases) {
    std::size_t used = 99;
    const PrinterImage decoded = DecodeRaster(c.layout, c.data, &used);
    EXPECT_EQ(Dots(decoded), c.dots) << c.data.size();
    EXPECT_EQ(used, c.used) << c.dots;
  }
  // A block claiming 255 rows of 65,535 dots holds only what its bytes fill.
  const PrinterImage big = DecodeRaster({1, 10, 10, 255, 65535}, std::vector<std::uint8_t>{0x81, 0xFF});
  EXPECT_EQ(big.image.height, 1);
  EXPECT_LE(big.image.bits.size(), 8192u);
}

}  // namespace
}  // namespace quillmark
