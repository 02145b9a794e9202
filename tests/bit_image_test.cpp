#include "emulation/escp2/bit_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmark {
namespace {

// "WxH dot size: x,y ..." with every set dot, row by row, padding bits included.
std::string Dots(const PrinterImage& decoded) {
  const BitImage& image = decoded.image;
  std::string out = std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
                    std::to_string(decoded.dotWidth) + "/" + std::to_string(decoded.dotHeight) + ":";
  for (std::size_t i = 0; i < image.bits.size() * 8; ++i) {
    const auto row = static_cast<std::size_t>(image.BytesPerRow());
    if (image.bits[i / 8] & (0x80 >> (i % 8)))
      out += " " + std::to_string(i % (row * 8)) + "," + std::to_string(i / (row * 8));
  }
  return out;
}

TEST(BitImage, DecodesWhatIsThereAndNoMore) {
  using Bytes = std::vector<std::uint8_t>;
  const struct {
    PrinterImage decoded;
    const char* dots;
  } cases[] = {
      {DecodeColumns(BitImageLayout(0), 2, Bytes{0x80, 0x01}), "2x8 60/60: 0,0 1,7"},
      {DecodeColumns(BitImageLayout(3), 9, Bytes{0, 0, 0, 0, 0, 0, 0, 0x40, 0x81}), "9x8 15/60: 8,0 7,1 8,7"},
      {DecodeColumns(BitImageLayout(39), 1, Bytes{0x80, 0x00, 0x01}), "1x24 20/20: 0,0 0,23"},
      {DecodeColumns(BitImageLayout(73), 1, Bytes{0, 0, 0, 0, 0, 0x01}), "1x48 10/10: 0,47"},
      {DecodeColumns(NinePinLayout(1), 2, Bytes{0x01, 0x80, 0x00, 0x7F}), "2x9 30/50: 0,7 0,8"},
      // Headers that claim more than is there: only whole columns, only the rows begun.
      {DecodeColumns(BitImageLayout(40), 65535, Bytes{0x80, 0x00, 0x01, 0xFF}), "1x24 10/20: 0,0 0,23"},
      {DecodeColumns(BitImageLayout(72), 65535, Bytes{1, 2, 3, 4, 5}), "0x0 0/0:"},
      {DecodeColumns(BitImageLayout(5), 1, Bytes{0xFF}), "0x0 0/0:"},
      {DecodeRaster({0, 10, 20, 2, 10}, Bytes{0x80, 0xFF, 0x00, 0x40}), "10x2 20/10: 0,0 8,0 9,0 9,1"},
      {DecodeRaster({0, 10, 10, 3, 16}, Bytes{0x01, 0x00, 0x80}), "16x2 10/10: 7,0 0,1"},
      // Runs: repeats across a row's end, literals, a run past the image, literals cut off, a lone counter.
      {DecodeRaster({1, 20, 20, 2, 16}, Bytes{0xFE, 0x81}), "16x2 20/20: 0,0 7,0 8,0 15,0 0,1 7,1"},
      {DecodeRaster({1, 20, 20, 1, 16}, Bytes{0x01, 0x80, 0x01, 0x7F}), "16x1 20/20: 0,0 15,0"},
      {DecodeRaster({1, 5, 5, 1, 8}, Bytes{0x81, 0x01}), "8x1 5/5: 7,0"},
      {DecodeRaster({1, 5, 5, 2, 8}, Bytes{0x05, 0x02}), "8x1 5/5: 6,0"},
      {DecodeRaster({1, 5, 5, 255, 16}, Bytes{0x81, 0x00, 0xFF}), "16x64 5/5:"},
      {DecodeRaster({2, 10, 10, 1, 8}, Bytes{0xFF}), "0x0 0/0:"},
  };
  for (const auto& c : cases) EXPECT_EQ(Dots(c.decoded), c.dots);
  // 255 rows of 65,535 dots claimed, one row's worth of bytes given: one row is kept.
  EXPECT_EQ(DecodeRaster({1, 10, 10, 255, 65535}, Bytes{0x81, 0xFF}).image.bits.size(), 8192u);
}

}  // namespace
}  // namespace quillmark
