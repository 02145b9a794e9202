#include "emulation/select_font.h"

#include <gtest/gtest.h>

#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using testing::RecordingPrintSystem;

PrintJob JobAt(std::int32_t dpi, float pointSize = 10.5f, std::int32_t pitch = 10) {
  PrintJob job;
  job.DpiX = dpi;
  job.DpiY = dpi;
  job.PointSize = pointSize;
  job.Pitch = pitch;
  job.Settings.CharSet = 255;
  return job;
}

struct Resolution {
  std::int32_t dpi;
  std::int32_t height10_5;
  std::int32_t height7;
  std::int32_t width[4];      // at 10, 12, 15, 20 cpi
  std::int32_t condensed[4];  // the same pitches, condensed
};

TEST(SelectFont, SizesFollowWholeDotsPerPoint) {
  const Resolution table[] = {
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
    EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 10.5f)).height, row.height10_5);
    EXPECT_EQ(MakeFontRequest(JobAt(row.dpi, 7.0f)).height, row.height7);
    for (int i = 0; i < 4; ++i) {
      PrintJob job = JobAt(row.dpi, 10.5f, pitches[i]);
      EXPECT_EQ(MakeFontRequest(job).width, row.width[i]) << pitches[i] << " cpi";
      job.Condensed = 1;
      EXPECT_EQ(MakeFontRequest(job).width, row.condensed[i]) << pitches[i] << " cpi condensed";
    }
  }
}

TEST(SelectFont, DefaultRequestAt600Dpi) {
  FontRequest expected;
  expected.height = -84;
  expected.width = 60;
  expected.weight = 400;
  expected.charSet = 255;
  expected.pitchAndFamily = 0x31;
  EXPECT_EQ(MakeFontRequest(JobAt(600)), expected);
}

TEST(SelectFont, PrintModes) {
  struct Case {
    const char* mode;
    void (*set)(PrintJob&);
    std::int32_t height, width, weight;
    std::uint8_t pitchAndFamily;
  };
  const Case cases[] = {
      {"double-strike", [](PrintJob& j) { j.DoubleStrike = 1; }, -84, 60, 500, 0x31},
      {"bold", [](PrintJob& j) { j.Bold = 1; }, -84, 60, 700, 0x31},
      {"bold wins over double-strike", [](PrintJob& j) { j.Bold = j.DoubleStrike = 1; }, -84, 60, 700, 0x31},
      {"proportional alone keeps the width", [](PrintJob& j) { j.Proportional = 1; }, -84, 60, 400, 0x32},
      {"condensed proportional halves", [](PrintJob& j) { j.Condensed = j.Proportional = 1; }, -84, 17, 400,
       0x32},
      {"proportional 2 is variable but not halved",
       [](PrintJob& j) {
         j.Condensed = 1;
         j.Proportional = 2;
       },
       -84, 35, 400, 0x32},
      {"double width", [](PrintJob& j) { j.DoubleWidth = 1; }, -84, 120, 400, 0x31},
      {"double width for the line", [](PrintJob& j) { j.DoubleWidthLine = 1; }, -84, 120, 400, 0x31},
      {"both double widths", [](PrintJob& j) { j.DoubleWidth = j.DoubleWidthLine = 1; }, -84, 240, 400, 0x31},
      {"condensed double width", [](PrintJob& j) { j.Condensed = j.DoubleWidth = 1; }, -84, 70, 400, 0x31},
      {"double height", [](PrintJob& j) { j.DoubleHeight = 1; }, -168, 60, 400, 0x31},
  };
  for (const auto& c : cases) {
    PrintJob job = JobAt(600);
    c.set(job);
    const FontRequest request = MakeFontRequest(job);
    EXPECT_EQ(request.height, c.height) << c.mode;
    EXPECT_EQ(request.width, c.width) << c.mode;
    EXPECT_EQ(request.weight, c.weight) << c.mode;
    EXPECT_EQ(request.pitchAndFamily, c.pitchAndFamily) << c.mode;
  }
}

TEST(SelectFont, FooterFontAt300Dpi) {
  PrintJob job = JobAt(300, 7.0f, 20);
  job.Bold = 1;
  const FontRequest request = MakeFontRequest(job);
  EXPECT_EQ(request.height, -28);
  EXPECT_EQ(request.width, 15);
  EXPECT_EQ(request.weight, 700);
}

TEST(SelectFont, WithoutResolutionOrPitchTheSizeIsZero) {
  PrintJob job = JobAt(0, 10.5f, 0);
  job.Condensed = 1;
  EXPECT_EQ(MakeFontRequest(job).height, 0);
  EXPECT_EQ(MakeFontRequest(job).width, 0);
  job = JobAt(600, 10.5f, 0);
  EXPECT_EQ(MakeFontRequest(job).width, 0);
}

TEST(SelectFont, HugeResolutionSaturatesInsteadOfOverflowing) {
  PrintJob job = JobAt(2147483647, 1e9f, 1);
  job.DoubleWidth = job.DoubleWidthLine = job.DoubleHeight = 1;
  const FontRequest request = MakeFontRequest(job);
  EXPECT_EQ(request.height, -2147483647 - 1);
  EXPECT_EQ(request.width, 2147483647);
}

TEST(SelectFont, EachCallMakesANewFontAndReleasesThePrevious) {
  RecordingPrintSystem printers;
  printers.AddPrinter("Office");
  PrintJob job = JobAt(600);
  job.Settings.Printer.Assign("Office");
  job.DeviceContext = printers.OpenDevice(job.Settings);
  SelectFont(job, printers);
  SelectFont(job, printers);
  EXPECT_EQ(job.Font, FontHandle{2});
  EXPECT_EQ(printers.Transcript(),
            "open Office\n"
            "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #1\n"
            "font #2 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n");
}

TEST(SelectFont, WithoutDeviceFontsAreStillMadeAndReleased) {
  RecordingPrintSystem printers;
  PrintJob job = JobAt(0, 10.5f, 10);
  SelectFont(job, printers);
  SelectFont(job, printers);
  EXPECT_EQ(printers.Transcript(),
            "font #1 h=0 w=0 wt=400 cs=255 pf=0x31 face=''\n"
            "font #2 h=0 w=0 wt=400 cs=255 pf=0x31 face=''\n"
            "delete #1\n");
  EXPECT_EQ(printers.LiveFonts(), 1u);
}

TEST(SelectFont, AFontThatCannotBeMadeKeepsThePreviousOne) {
  RecordingPrintSystem printers;
  printers.AddPrinter("Office");
  PrintJob job = JobAt(600);
  job.Settings.Printer.Assign("Office");
  job.DeviceContext = printers.OpenDevice(job.Settings);
  SelectFont(job, printers);
  printers.SetFontCreationFails(true);
  job.Bold = 1;
  SelectFont(job, printers);
  EXPECT_EQ(job.Font, FontHandle{1});
  EXPECT_EQ(printers.LiveFonts(), 1u);
  EXPECT_EQ(printers.Transcript(),
            "open Office\n"
            "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #1\n"
            "font failed\n");
}

}  // namespace
}  // namespace quillmark
