#include "emulation/printer_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

constexpr std::int32_t kMax = INT32_MAX;

class PrinterDocument : public ::testing::Test {
 protected:
  PrintJob Started(const char* printer, float left = 9.75f, float top = 10.7f) {
    PrintJob job;
    job.Settings.Printer.Assign(printer);
    job.Settings.BorderLeft = left;
    job.Settings.BorderTop = top;
    OpenPrinterDevice(job, printers, log);
    StartDocument(job, printers);
    return job;
  }

  testing::RecordingPrintSystem printers;
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
};

TEST_F(PrinterDocument, OriginFromBordersAndPhysicalOffsets) {
  const struct {
    std::int32_t dpi, offset;
    float left, top;
    std::int32_t originX, originY;
  } cases[] = {
      {600, 100, 9.75f, 10.7f, 130, 153}, {600, 0, 9.75f, 10.7f, 230, 253}, {300, 0, 9.75f, 10.7f, 115, 126},
      {600, 100, 0.0f, 10.7f, 0, 153},    {600, 100, 9.75f, 1.0f, 130, 0},  {600, 0, -5.0f, -5.0f, 0, 0},
      {600, 0, 1e30f, 1e30f, kMax, kMax}, {600, 0, NAN, NAN, 0, 0},
  };
  for (const auto& c : cases) {
    printers.AddPrinter("Office", {c.dpi, c.dpi, c.offset, c.offset, true});
    PrintJob job = Started("Office", c.left, c.top);
    EXPECT_EQ(job.X, c.originX) << c.left << " mm at " << c.dpi << " dpi, offset " << c.offset;
    EXPECT_EQ(job.Y, c.originY) << c.top << " mm at " << c.dpi << " dpi, offset " << c.offset;
  }
}

TEST(PrinterDocumentRules, NextLineYRoundsTheSum) {
  const struct {
    std::int32_t dpi, y;
    float spacing;
    std::int32_t next;
  } cases[] = {{300, 100, 0.125f, 138}, {300, 101, 0.125f, 138}, {600, kMax - 10, 1.0f / 6, kMax}};
  for (const auto& c : cases) {
    PrintJob job;
    job.DpiY = c.dpi;
    job.Y = c.y;
    job.LineSpacing = c.spacing;
    EXPECT_EQ(NextLineY(job), c.next) << c.dpi << " dpi from " << c.y;
  }
}

TEST_F(PrinterDocument, WholeDocumentWithTheFooterAThirdInchBelowTheLastLine) {
  printers.AddPrinter("Office");
  PrintJob job = Started("Office");
  EXPECT_NE(printers.Transcript().find("page start\ntext color 0x000000\ntransparent\nfont #1"),
            std::string::npos);
  printers.ClearTranscript();
  job.Y = 1000;
  job.Condensed = job.DoubleWidth = job.DoubleHeight = job.Proportional = 1;
  EndDocument(job, printers);
  ReleaseDevice(job, printers);
  EXPECT_EQ(printers.Transcript(),
            "font #2 h=-56 w=30 wt=700 cs=0 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "text 'Gedruckt mit Quillmark 1.0' at 230,1200-1010,1256\n"
            "page end\n"
            "end doc\n"
            "release device\n"
            "delete #2\n");
}

TEST_F(PrinterDocument, MissingPrinterIsLoggedOnceAndTheJobRunsWithoutDevice) {
  PrintJob job = Started("Nowhere");
  EndDocument(job, printers);
  ReleaseDevice(job, printers);
  EXPECT_EQ(printers.LiveFonts(), 0u);
  const std::string text = files.Get("Error.log");
  EXPECT_TRUE(text.ends_with("| Drucker 'Nowhere' konnte nicht initialisiert werden.\r\n")) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 5) << "one entry of six fields";
}

}  // namespace
}  // namespace quillmark
