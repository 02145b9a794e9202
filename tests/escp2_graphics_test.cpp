#include "emulation/escp2/escp2_graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "emulation/escp2/escp2_interpreter.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using namespace std::string_view_literals;

// Each image command draws at the print position with its dots' own size, clipped at the right margin;
// ESC r sets the ribbon colour.
TEST(Escp2Graphics, ImagesLandAtThePrintPosition) {
  const std::vector<std::uint8_t> ink(4096, 0xFF);
  const struct {
    const char* command;
    int mode, columns;
    RasterImageHeader raster;
    double scaledDpiY;
    std::int32_t margin;
    const char* transcript;
  } cases[] = {
      {"ESC * 39", 39, 180, {}, 600, 3600, "image 180x24 at 100,200-700,280\n"},
      {"ESC * 0", 0, 60, {}, 600, 3600, "image 60x8 at 100,200-700,280\n"},
      {"ESC * 73", 73, 10, {}, 300, 3600, "image 10x48 at 100,200-117,240\n"},  // a long form scaled to the
                                                                                // paper
      {"ESC * 40 past the margin", 40, 2880, {}, 600, 3600, "image 2100x24 at 100,200-3600,280\n"},
      {"ESC * 40 at the margin", 40, 10, {}, 600, 100, ""},
      {"ESC * 5", 5, 10, {}, 600, 3600, ""},
      {"ESC ^ 0", -1, 6, {}, 600, 3600, "image 6x9 at 100,200-160,275\n"},
      {"ESC . 1", -2, 0, {1, 10, 20, 3, 8}, 600, 3600, "image 8x3 at 100,200-127,205\n"},
  };
  for (const auto& c : cases) {
    testing::RecordingPrintSystem printers;
    printers.AddPrinter("");
    PrintJob job;
    job.DeviceContext = printers.OpenDevice(job.Settings);
    job.DpiX = job.DpiY = 600;
    job.X = 100;
    job.Y = 200;
    Escp2GraphicsState graphics;
    Escp2Context context{job, graphics, c.margin, c.scaledDpiY};
    printers.ClearTranscript();
    if (c.mode >= 0) PrintBitImage(context, c.mode, c.columns, ink.data());
    if (c.mode == -1) PrintNinePinImage(context, 0, c.columns, ink.data());
    if (c.mode == -2) PrintRasterImage(context, c.raster, std::vector<std::uint8_t>{0x82, 0x55}.data(), 2);
    EXPECT_EQ(printers.Transcript(), c.transcript) << c.command;
  }
}

TEST(Escp2Graphics, RibbonColours) {
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("");
  PrintJob job;
  job.DeviceContext = printers.OpenDevice(job.Settings);
  Escp2GraphicsState graphics;
  Escp2Context context{job, graphics, 0, 600};
  printers.ClearTranscript();
  for (const int colour : {1, int{'2'}, 3, 4, 5, 6, 7, 0}) SelectColour(context, colour);
  EXPECT_EQ(printers.Transcript(),
            "text color 0xFF00FF\ntext color 0xFFFF00\ntext color 0xFF0080\ntext color 0x00FFFF\n"
            "text color 0x0000FF\ntext color 0x00FF00\ntext color 0x000000\n");
  EXPECT_EQ(graphics.colour, 0);

  // Through the printer: ESC @ and the end of the take bring back black, for the text after it and the
  // footer.
  const struct {
    std::string_view bytes;
    const char* colours;
  } takes[] = {
      {"\x1br\x01"
       "A\x1b@B"sv,
       "0xFF00FF A 0x000000 B "},
      {"\x1br2A"sv, "0xFFFF00 A 0x000000 "},
      {"\x1br\x09"
       "A\x1br\x00"sv,
       "A 0x000000 "},  // 9 is no colour
  };
  for (const auto& take : takes) {
    job.Data = SpoolData(new std::uint8_t[take.bytes.size()]);
    std::copy(take.bytes.begin(), take.bytes.end(), job.Data.get());
    job.DataLength = static_cast<std::int32_t>(take.bytes.size());
    job.DpiX = job.DpiY = 600;
    printers.ClearTranscript();
    RunEscp2(job, printers);
    std::string colours;
    std::istringstream lines(printers.Transcript());
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("text color ")) colours += line.substr(11) + " ";
      if (line.starts_with("utext ")) colours += line.substr(7, line.find('\'', 7) - 7) + " ";
    }
    EXPECT_EQ(colours, take.colours) << take.bytes;
  }
}

}  // namespace
}  // namespace quillmark
