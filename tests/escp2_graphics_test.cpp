#include "emulation/escp2/escp2_graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "emulation/escp2/bar_codes.h"
#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/printer_document.h"
#include "support/escape_bytes.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// Prints `bytes` with the ESC/P 2 printer at 600 dpi on A4 from the paper's corner and returns its images,
// colours and text as "image WxH at l,t-r,b", "colour 0xBBGGRR" and "X@x,y"; a row of filled rectangles as
// "N fills to" the corners of the last. `endY`: where the footer's line starts.
std::string Print(const std::string& bytes, std::int32_t* endY = nullptr) {
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("");
  PrintJob take;
  take.Settings.BorderLeftGiven = take.Settings.BorderTopGiven = true;
  take.DataLength = static_cast<std::int32_t>(bytes.size());
  take.Data = SpoolData(new std::uint8_t[bytes.size()]);
  std::memcpy(take.Data.get(), bytes.data(), bytes.size());
  Printout job(take);
  OpenPrinterDevice(job, printers, log);
  StartDocument(job, printers);
  printers.ClearTranscript();
  RunEscp2(job, printers, &log);
  if (endY != nullptr) *endY = job.Y;
  std::string out;
  std::istringstream lines(printers.Transcript());
  int fills = 0;
  std::string lastFill;
  const auto endFills = [&] {
    if (fills > 0) out += std::to_string(fills) + " fills to " + lastFill + "; ";
    fills = 0;
  };
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("fill ")) {
      lastFill = line.substr(5);
      ++fills;
      continue;
    }
    endFills();
    if (line.starts_with("image")) out += line + "; ";
    if (line.starts_with("text color")) out += "colour " + line.substr(11) + "; ";
    const std::size_t at = line.rfind("' at ") + 5;
    if (line.starts_with("utext"))
      out += line.substr(7, at - 12) + "@" + line.substr(at, line.find('-', at) - at) + "; ";
  }
  endFills();
  return out;
}

// Each image is drawn at the print position at its own dot size and moves the position by its width;
// ESC r colours text and graphics until ESC @ or the end of the take.
TEST(Escp2Graphics, ImagesAndColoursThroughThePrinter) {
  using testing::Bytes, testing::Esc, testing::EscParen, testing::Fill, testing::W;
  const std::string tiff = Esc('.', 2, 10, 10, 1, W{0});
  const std::string euro = Esc('&', 0, 'E', 'E', 3, 30, 3) + Fill(90, 0xFF);
  const std::string one = Esc('&', 0, 1, 1, 3, 30, 3) + Fill(90, 0xFF);  // the same at code 1
  const struct {
    std::string bytes;
    const char* printed;
  } cases[] = {
      {Esc('?', 'K', 40) + Esc('K', W{2}) + Fill(6, 0xFF) + "X", "image 2x24 at 0,0-3,80; X@3,0; "},
      {Esc('.', 1, 10, 20, 3, W{8}) + Bytes(0x82, 0x55) + "X", "image 8x3 at 0,0-27,5; X@27,0; "},
      // A band that would cross the bottom margin (a 0.2-inch form, 0.1 inch down) prints whole at the top
      // of the next page, in its column.
      {EscParen('C', W{0x48}) + Esc('3', 0) + Esc('J', 0x12) + Esc('*', 39, W{1}) + Fill(3, 0xFF) + "X",
       "image 1x24 at 0,0-3,80; X@3,0; "},
      // 3,000 columns at 360 dpi: what fits in the 8-inch line.
      {Esc('*', 40, W{3000}) + Fill(9000, 0xFF), "image 2880x24 at 0,0-4800,80; "},
      {Esc('r', 1) + "A" + Esc('*', 39, W{1}) + Fill(3, 0xFF) + Esc('@') + "B",
       "colour 0xFF00FF; A@0,0; image 1x24 at 60,0-63,80; colour 0x000000; B@0,0; "},
      {Esc('r', '2') + "A" + Esc('r', 9), "colour 0xFFFF00; A@0,0; colour 0x000000; "},
      // TIFF mode: a literal and a run; moves by dot, byte and row, one image per band; a colour per image;
      // data cut off; delta rows. The carriage returns at <EXIT>, and what follows prints again.
      {tiff + Bytes(0x24, 0, 0xF0, 0xFE, 0xFF, 0xE3) + "X", "image 32x1 at 0,0-53,2; X@0,0; "},
      {tiff + Bytes(0x22, 0, 0x80, 0x62, 0x44, 0x22, 0, 0xFF, 0xE4, 0x42, 0x22, 0, 0x01, 0xE2, 0xE3) + "Y",
       "image 24x3 at 0,0-40,5; Y@0,3; "},
      {tiff + Bytes(0x81, 0x22, 0, 0xFF, 0x80, 0x22, 0, 0xFF, 0xE3) + "A",
       "image 8x1 at 0,0-13,2; colour 0xFF00FF; image 8x1 at 0,0-13,2; colour 0x000000; A@0,0; "},
      {tiff + Bytes(0x22, 0, 0xFF, 0x24, 0), "image 8x1 at 0,0-13,2; "},
      {Esc('.', 3, 10, 10, 1, W{0}) + Bytes(0xE4, 0x22, 0, 0xF0, 0x61, 0x41, 0x22, 0, 0x0F, 0xE3) + "Z",
       "image 16x2 at 0,0-27,3; Z@0,2; "},
      // A downloaded LQ character of 3 + 30 + 3 columns of 1/360 inch, its grid's baseline (20 of 24 dots
      // down) on the text's; codes the set lacks print nothing.
      {euro + Esc('%', '1') + "EAE" + Esc('%', '0') + "E",
       "image 30x24 at 5,12-55,92; image 30x24 at 65,12-115,92; E@120,0; "},
      {euro + Esc('%', '1') + Esc('@') + "E" + Esc('%', '1') + Esc('W', '1') + Esc('w', '1') + "E",
       "E@0,0; image 30x24 at 70,24-170,184; "},
      {Esc(':', 0, 0, 0) + euro + Esc('%', '1') + "AE" + Esc('x', '0') + "E",
       "A@0,0; image 30x24 at 65,12-115,92; E@120,0; "},
      // ESC ( ^ prints code 1 of the set and nothing for codes no table holds; ESC t 2 copies the set to
      // 128-255 and leaves 0-127 to the printer's characters.
      {one + Esc('%', '1') + EscParen('^', 1, 13, 'X') + Esc('%', '0') + EscParen('^', 1, 'Y') + Esc('t', 2) +
           "\x81" + "Z",
       "image 30x24 at 5,12-55,92; Y@60,0; image 30x24 at 125,12-175,92; Z@180,0; "},
      // The copy is taken by ESC t 2: a later ESC & reaches the upper half only with the next ESC t 2.
      {one + Esc('t', 2) + Esc('&', 0, 1, 1, 0, 2, 0) + Fill(6, 0xFF) + "\x81" + Esc('t', 2) + "\x81",
       "image 30x24 at 5,12-55,92; image 2x24 at 60,12-63,92; "},
      // Subscript characters have two bytes per column; draft columns are 1/120 inch.
      {Esc('x', '0') + Esc('S', '1') + Esc('&', 0, 'E', 'E', 1, 2, 1) + Fill(4, 0xFF) + Esc('%', '1') + "E" +
           Esc('T') + "E",
       "image 2x16 at 5,38-15,91; E@20,0; "},
      // Bar codes (ESC ( B k m s v1 v2 c): at the print position, digits below, the position at their right
      // end (rejected ones and EAN/UPC layouts: the command table and the real-program test).
      {EscParen('B', 6, 2, 0, W{90}, 0, "BA") + "X", "13 fills to 293,0-307,300; A@0,310; X@307,0; "},
  };
  for (const auto& c : cases) EXPECT_EQ(Print(c.bytes), c.printed) << c.printed;

  // The footer, a third of an inch (200 dots) below its line, clears a bar code without digits (0-300).
  std::int32_t endY = 0;
  Print(testing::EscParen('B', 6, 2, 0, testing::W{90}, 2, "BA") + "\r\n\f", &endY);
  EXPECT_EQ(endY, 300 + 10 - 200);
}

// Bar widths in modules from the first bar (POSTNET: 1 for a tall bar), then the characters printed below;
// "-" for data the printer ignores. Every symbol here was read back by a scanner from a rendered page; the
// other symbologies' bars are in the command table.
TEST(Escp2Graphics, BarCodeEncodings) {
  const struct {
    BarCodeType type;
    const char* data;
    bool check;
    const char* encoded;
  } cases[] = {
      {BarCodeType::kEan13, "400638133393", false, "-"},
      {BarCodeType::kCode39, "A", false, "13113131113111131131131131311 *A*"},
      {BarCodeType::kCode39, "AB12", true,
       "131131311131111311311131131131311311113111331111313111311311131131311 *AB12O*"},
      {BarCodeType::kCode39, "a", false, "-"},
      {BarCodeType::kCode128, "BA", false, "2112141113231311232331112 A"},
      {BarCodeType::kCode128, "AAB\144ab\03412;Y", false,
       "2114121113231311231141311211241214211131411122323111413121131212232331112 ABab12Y"},
      {BarCodeType::kCode128, "C123", false, "-"},
      {BarCodeType::kPostnet, "1234567", false, "-"},
  };
  for (const auto& c : cases) {
    const std::optional<BarCode> code = EncodeBarCode(c.type, c.data, c.check);
    std::string encoded = code ? code->tall : "-";
    if (code && encoded.empty()) {
      for (std::uint8_t run : code->runs) encoded += static_cast<char>('0' + run);
    }
    if (code) encoded += " " + code->text;
    EXPECT_EQ(encoded, c.encoded) << c.data;
  }
}

}  // namespace
}  // namespace quillmark
