#include "emulation/select_font.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

Printout JobAt(std::int32_t dpi, float pointSize, std::int32_t pitch, std::uint8_t condensed = 0) {
  static const PrintJob take;
  Printout job(take);
  job.DpiX = job.DpiY = dpi;
  job.PointSize = pointSize;
  job.Pitch = pitch;
  job.Condensed = condensed;
  return job;
}

// The print modes are covered through the commands that set them, in the interpreter's tests.
TEST(SelectFont, SizesFollowWholeDotsPerPoint) {
  const struct {
    std::int32_t dpi, height10_5, height7;
    std::int32_t width[4], condensed[4];  // at 10, 12, 15, 20 cpi
  } table[] = {
      {180, -32, -21, {18, 15, 12, 9}, {11, 9, 12, 9}},
      {300, -42, -28, {30, 25, 20, 15}, {18, 15, 20, 15}},
      {360, -52, -35, {36, 30, 24, 18}, {21, 18, 24, 18}},
      {600, -84, -56, {60, 50, 40, 30}, {35, 30, 40, 30}},
      {720, -105, -70, {72, 60, 48, 36}, {42, 36, 48, 36}},
      {1200, -178, -119, {120, 100, 80, 60}, {70, 60, 80, 60}},
  };
  const std::int32_t pitches[] = {10, 12, 15, 20};
  for (const auto& row : table) {
    SCOPED_TRACE(row.dpi);
    EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 10.5f, 10)).height, row.height10_5);
    EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 7.0f, 10)).height, row.height7);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 10.5f, pitches[i])).width, row.width[i]) << pitches[i];
      EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 10.5f, pitches[i], 1)).width, row.condensed[i]) << pitches[i];
    }
  }
}

}  // namespace
}  // namespace quillmark
