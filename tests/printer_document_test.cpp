#include "emulation/printer_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using testing::FakePrinter;
using testing::FixedClock;
using testing::MemoryFileSystem;
using testing::RecordingPrintSystem;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class PrinterDocument : public ::testing::Test {
 protected:
  PrintJob Job(const char* printer, float borderLeft = 9.75f, float borderTop = 10.7f) {
    PrintJob job;
    job.Settings.Printer.Assign(printer);
    job.Settings.CharSet = 255;
    job.Settings.PositionMode = 1;
    job.Settings.BorderLeft = borderLeft;
    job.Settings.BorderTop = borderTop;
    return job;
  }

  // Opens and starts the document, then forgets what that printed so far.
  PrintJob Started(const char* printer, float borderLeft = 9.75f, float borderTop = 10.7f) {
    PrintJob job = Job(printer, borderLeft, borderTop);
    OpenPrinterDevice(job, printers, log);
    StartDocument(job, printers);
    printers.ClearTranscript();
    return job;
  }

  RecordingPrintSystem printers;
  MemoryFileSystem files;
  FixedClock clock;
  ErrorLog log{files, clock};
};

TEST_F(PrinterDocument, WholeDocumentWithoutData) {
  printers.AddPrinter("Office", FakePrinter{600, 600, 100, 100, true});
  PrintJob job = Job("Office");
  OpenPrinterDevice(job, printers, log);
  StartDocument(job, printers);
  EXPECT_EQ(job.X, 130);
  EXPECT_EQ(job.Y, 153);
  EndDocument(job, printers);
  EXPECT_TRUE(job.DeviceContext->Delivered());
  ReleaseDevice(job, printers);
  EXPECT_EQ(printers.Transcript(),
            "open Office\n"
            "start doc 'DOS Job'\n"
            "page start\n"
            "text color 0x000000\n"
            "transparent\n"
            "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #1\n"
            "font #2 h=-56 w=30 wt=700 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "text 'Gedruckt mit Quillmark 1.0' at 130,353-910,409\n"
            "page end\n"
            "end doc\n"
            "release device\n"
            "delete #2\n");
  EXPECT_EQ(job.Font, FontHandle{0});
  EXPECT_EQ(printers.LiveFonts(), 0u);
  EXPECT_EQ(printers.OpenDevices(), 0);
  EXPECT_EQ(files.Get("Error.log"), "");
}

TEST_F(PrinterDocument, OriginFromBordersAndPhysicalOffsets) {
  struct Case {
    std::int32_t dpi, offsetX, offsetY;
    float left, top;
    std::int32_t originX, originY;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {600, 100, 100, 9.75f, 10.7f, 130, 153},
      {600, 0, 0, 9.75f, 10.7f, 230, 253},
      {300, 0, 0, 9.75f, 10.7f, 115, 126},
      {600, 100, 100, 0.0f, 10.7f, 0, 153},  // inside the unprintable margin: each axis on its own
      {600, 100, 100, 9.75f, 1.0f, 130, 0},
      {600, 0, 0, -5.0f, -5.0f, 0, 0},
      {600, 0, 0, 1e30f, 1e30f, kMax, kMax},  // absurd borders saturate
      {600, 0, 0, nan, nan, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.left) + " mm, " + ::testing::PrintToString(c.top) + " mm");
    RecordingPrintSystem system;
    system.AddPrinter("Office", FakePrinter{c.dpi, c.dpi, c.offsetX, c.offsetY, true});
    PrintJob job = Job("Office", c.left, c.top);
    OpenPrinterDevice(job, system, log);
    StartDocument(job, system);
    EXPECT_EQ(job.OriginX, c.originX);
    EXPECT_EQ(job.OriginY, c.originY);
    EXPECT_EQ(job.X, c.originX);
    EXPECT_EQ(job.Y, c.originY);
    ReleaseDevice(job, system);
  }
}

TEST_F(PrinterDocument, StartDocumentSetsTheDefaultPrintMode) {
  printers.AddPrinter("Office");
  const PrintJob job = Started("Office");
  EXPECT_EQ(job.LineSpacing, 1.0f / 6);
  EXPECT_EQ(job.Pitch, 10);
  EXPECT_EQ(job.PointSize, 10.5f);
  EXPECT_EQ(job.Bold + job.DoubleStrike + job.DoubleWidth + job.DoubleWidthLine + job.DoubleHeight +
                job.Condensed + job.Proportional,
            0);
}

TEST(PrinterDocumentRules, NextLineYRoundsTheSum) {
  struct Case {
    std::int32_t dpi, y;
    float spacing;
    std::int32_t next;
  };
  const Case cases[] = {
      {300, 100, 0.125f, 138},  // 137.5 goes to the even neighbour
      {300, 101, 0.125f, 138},  // 138.5 as well
      {600, 153, 1.0f / 6, 253}, {720, 0, 1.0f / 3, 240},
      {600, 500, 0.0f, 500},     {600, kMax - 10, 1.0f / 6, kMax},  // saturates instead of overflowing
  };
  for (const auto& c : cases) {
    PrintJob job;
    job.DpiY = c.dpi;
    job.Y = c.y;
    job.LineSpacing = c.spacing;
    EXPECT_EQ(NextLineY(job), c.next) << c.dpi << " dpi from " << c.y;
    EXPECT_EQ(job.Y, c.y);
  }
}

TEST_F(PrinterDocument, FooterGoesAThirdInchBelowTheLastLine) {
  printers.AddPrinter("Office");
  PrintJob job = Started("Office");
  job.Y = 1000;
  job.X = 777;
  job.Condensed = job.DoubleWidth = job.DoubleHeight = job.Proportional = 1;
  EndDocument(job, printers);
  EXPECT_EQ(printers.Transcript(),
            "font #2 h=-56 w=30 wt=700 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "text 'Gedruckt mit Quillmark 1.0' at 230,1200-1010,1256\n"
            "page end\n"
            "end doc\n");
  EXPECT_EQ(job.X, 777);
  EXPECT_EQ(job.Y, 1000);
}

TEST_F(PrinterDocument, MissingPrinterIsLoggedOnceAndTheJobRunsWithoutDevice) {
  PrintJob job = Job("Nowhere");
  OpenPrinterDevice(job, printers, log);
  StartDocument(job, printers);
  EndDocument(job, printers);
  ReleaseDevice(job, printers);
  EXPECT_EQ(job.DpiX, 0);
  EXPECT_EQ(job.OriginX, 0);
  EXPECT_EQ(job.OriginY, 0);
  EXPECT_EQ(printers.Transcript(),
            "open Nowhere: no such printer\n"
            "font #1 h=0 w=0 wt=400 cs=255 pf=0x31 face=''\n"
            "font #2 h=0 w=0 wt=700 cs=255 pf=0x31 face=''\n"
            "delete #1\n"
            "delete #2\n");
  const std::string text = files.Get("Error.log");
  const std::string entry =
      "07-03-15 09:41:05 |                      | 0        |                                  | 0 | "
      "Drucker 'Nowhere' konnte nicht initialisiert werden.\r\n";
  ASSERT_GE(text.size(), entry.size());
  EXPECT_EQ(text.substr(text.size() - entry.size()), entry);
  EXPECT_EQ(text.find(entry), text.size() - entry.size()) << "logged more than once";
}

TEST_F(PrinterDocument, MissingPrinterMessageCarriesTheWholeFieldLongName) {
  const std::string name(512, 'P');
  PrintJob job = Job("");
  job.Settings.Printer.Assign(name + "cut");
  OpenPrinterDevice(job, printers, log);
  EXPECT_NE(files.Get("Error.log").find("Drucker '" + name + "' konnte"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
