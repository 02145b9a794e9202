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
  Printout Started(const char* printer, float left = 9.75f, float top = 10.7f) {
    take.Settings.Printer.Assign(printer);
    take.Settings.BorderLeft = left;
    take.Settings.BorderTop = top;
    Printout job(take);
    OpenPrinterDevice(job, printers, log);
    StartDocument(job, printers);
    return job;
  }

  testing::RecordingPrintSystem printers;
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  PrintJob take;  // the take every Started job prints
};

TEST_F(PrinterDocument, OriginFromBordersAndPhysicalOffsets) {
  const struct {
    std::int32_t dpiX, dpiY, offset;
    float left, top;
    std::int32_t originX, originY;
  } cases[] = {
      {600, 600, 100, 9.75f, 10.7f, 130, 153}, {600, 300, 0, 9.75f, 10.7f, 230, 126},
      {600, 600, 100, 0.0f, 10.7f, 0, 153},    {600, 600, 100, 9.75f, 1.0f, 130, 0},
      {600, 600, 0, -5.0f, -5.0f, 0, 0},       {600, 600, 0, 1e30f, 1e30f, kMax, kMax},
      {600, 600, 0, NAN, NAN, 0, 0},
  };
  for (const auto& c : cases) {
    printers.AddPrinter("Office", {c.dpiX, c.dpiY, c.offset, c.offset, true});
    Printout job = Started("Office", c.left, c.top);
    EXPECT_EQ(job.X, c.originX) << c.left << " mm at " << c.dpiX << " dpi, offset " << c.offset;
    EXPECT_EQ(job.Y, c.originY) << c.top << " mm at " << c.dpiY << " dpi, offset " << c.offset;
  }
}

TEST(PrinterDocumentRules, NextLineYRoundsTheSum) {
  const struct {
    std::int32_t dpi, y;
    float spacing;
    std::int32_t next;
  } cases[] = {{300, 100, 0.125f, 138}, {300, 101, 0.125f, 138}, {600, kMax - 10, 1.0f / 6, kMax}};
  for (const auto& c : cases) {
    PrinterState job;
    job.DpiY = c.dpi;
    job.Y = c.y;
    job.LineSpacing = c.spacing;
    EXPECT_EQ(NextLineY(job), c.next) << c.dpi << " dpi from " << c.y;
  }
}

TEST_F(PrinterDocument, WholeDocumentWithTheFooterAThirdInchBelowTheLastLine) {
  printers.AddPrinter("Office");
  Printout job = Started("Office");
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

// A printer that cannot be opened is logged once and the job runs without a device; a font that cannot
// be made leaves the job and the device with the font they had. Either way nothing outlives the job.
TEST_F(PrinterDocument, FaultsLeaveNothingBehind) {
  struct NoSecondFont final : testing::RecordingPrintSystem {
    FontHandle CreateFont(const FontRequest& request) override {
      return LiveFonts() == 0 ? RecordingPrintSystem::CreateFont(request) : 0;
    }
  } noSecondFont;
  for (testing::RecordingPrintSystem* system :
       std::initializer_list<testing::RecordingPrintSystem*>{&printers, &noSecondFont}) {
    system->AddPrinter("Office");
    take.Settings.Printer.Assign(system == &printers ? "Nowhere" : "Office");
    Printout job(take);
    OpenPrinterDevice(job, *system, log);
    StartDocument(job, *system);
    EndDocument(job, *system);
    EXPECT_EQ(job.Font, system == &printers ? 2u : 1u);
    ReleaseDevice(job, *system);
    EXPECT_EQ(system->Transcript().find("select #0"), std::string::npos);
    EXPECT_EQ(system->LiveFonts(), 0u);
  }
  const std::string text = files.Get("Error.log");
  EXPECT_TRUE(text.ends_with("| Drucker 'Nowhere' konnte nicht initialisiert werden.\r\n")) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 5) << "one entry of six fields";
}

}  // namespace
}  // namespace quillmark
