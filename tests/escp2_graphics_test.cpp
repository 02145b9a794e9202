#include "emulation/escp2/escp2_graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

#include "emulation/escp2/bar_codes.h"
#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/printer_document.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// Prints `bytes` with the ESC/P 2 printer at 600 dpi on A4 from the paper's corner and returns its images,
// colours and text as "image WxH at l,t-r,b", "colour 0xBBGGRR" and "X@x,y"; a row of filled rectangles as
// "N fills to" the corners of the last. `endY`: where the footer's line starts; `logged`: Error.log.
std::string Print(const std::string& bytes, std::int32_t* endY = nullptr, std::string* logged = nullptr) {
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
  if (logged != nullptr) *logged = files.Get("Error.log");
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
  const std::string ink(9000, '\xFF');
  using namespace std::string_literals;
  const std::string tiff = "\x1b.\x02\x0a\x0a\x01\0\0"s;
  const std::string nul(1, '\0');
  const std::string euro = "\x1b&" + nul + "EE\x03\x1e\x03" + ink.substr(0, 90);
  const std::string one = "\x1b&" + nul + "\x01\x01\x03\x1e\x03" + ink.substr(0, 90);  // the same at code 1
  const struct {
    std::string bytes;
    const char* printed;
  } cases[] = {
      {"\x1b*\x27\xb4" + std::string(1, '\0') + ink.substr(0, 540) + "X",
       "image 180x24 at 0,0-600,80; X@600,0; "},
      {"\x1b?K\x28\x1bK\x02" + std::string(1, '\0') + ink.substr(0, 6) + "X",
       "image 2x24 at 0,0-3,80; X@3,0; "},
      {"\x1b^" + std::string(1, '\0') + "\x06" + std::string(1, '\0') + ink.substr(0, 12) + "X",
       "image 6x9 at 0,0-60,75; X@60,0; "},
      {"\x1b.\x01\x0a\x14\x03\x08" + std::string(1, '\0') + "\x82\x55X", "image 8x3 at 0,0-27,5; X@27,0; "},
      // A band that would cross the bottom margin (a 0.2-inch form, 0.1 inch down) prints whole at the top
      // of the next page, in its column.
      {"\x1b(C\x02" + nul + "\x48" + nul + "\x1b" "3" + nul + "\x1bJ\x12" + "\x1b*\x27\x01" + nul + "\xff\xff\xff" + "X",
       "image 1x24 at 0,0-3,80; X@3,0; "},
      // 3,000 columns at 360 dpi: what fits in the 8-inch line.
      {"\x1b*\x28\xb8\x0b" + ink.substr(0, 9000), "image 2880x24 at 0,0-4800,80; "},
      {"\x1br\001A\x1b*\x27\x01" + std::string(1, '\0') + ink.substr(0, 3) + "\x1b@B",
       "colour 0xFF00FF; A@0,0; image 1x24 at 60,0-63,80; colour 0x000000; B@0,0; "},
      {"\x1br2A\x1br\x09", "colour 0xFFFF00; A@0,0; colour 0x000000; "},
      // TIFF mode: a literal and a run; moves by dot, byte and row, one image per band; a colour per image;
      // data cut off; delta rows. The carriage returns at <EXIT>, and what follows prints again.
      {tiff + "\x24\x00\xf0\xfe\xff\xe3X"s, "image 32x1 at 0,0-53,2; X@0,0; "},
      {tiff + "\x22\x00\x80\x62\x44\x22\x00\xff\xe4\x42\x22\x00\x01\xe2\xe3Y"s,
       "image 24x3 at 0,0-40,5; Y@0,3; "},
      {tiff + "\x81\x22\x00\xff\x80\x22\x00\xff\xe3"s + "A",
       "image 8x1 at 0,0-13,2; colour 0xFF00FF; image 8x1 at 0,0-13,2; colour 0x000000; A@0,0; "},
      {tiff + "\x22\x00\xff\x24\x00"s, "image 8x1 at 0,0-13,2; "},
      {"\x1b.\x03\x0a\x0a\x01\0\0\xe4\x22\x00\xf0\x61\x41\x22\x00\x0f\xe3Z"s,
       "image 16x2 at 0,0-27,3; Z@0,2; "},
      // A downloaded LQ character of 3 + 30 + 3 columns of 1/360 inch, its grid's baseline (20 of 24 dots
      // down) on the text's; codes the set lacks print nothing.
      {euro + "\x1b%1EAE\x1b%0E", "image 30x24 at 5,12-55,92; image 30x24 at 65,12-115,92; E@120,0; "},
      {euro + "\x1b%1\x1b@E\x1b%1\x1bW1\x1bw1E", "E@0,0; image 30x24 at 70,24-170,184; "},
      {"\x1b:" + nul + nul + nul + euro + "\x1b%1AE\x1bx0E", "A@0,0; image 30x24 at 65,12-115,92; E@120,0; "},
      // ESC ( ^ prints code 1 of the set and nothing for codes no table holds; ESC t 2 copies the set to
      // 128-255 and leaves 0-127 to the printer's characters.
      {one + "\x1b%1\x1b(^\x03" + nul + "\x01\x0dX\x1b%0\x1b(^\x02" + nul + "\x01Y\x1bt\x02\x81Z",
       "image 30x24 at 5,12-55,92; Y@60,0; image 30x24 at 125,12-175,92; Z@180,0; "},
      // The copy is taken by ESC t 2: a later ESC & reaches the upper half only with the next ESC t 2.
      {one + "\x1bt\x02\x1b&" + nul + "\x01\x01" + nul + "\x02" + nul + ink.substr(0, 6) +
           "\x81\x1bt\x02\x81",
       "image 30x24 at 5,12-55,92; image 2x24 at 60,12-63,92; "},
      // Subscript characters have two bytes per column; draft columns are 1/120 inch.
      {"\x1bx0\x1bS1\x1b&" + nul + "EE\x01\x02\x01" + ink.substr(0, 4) + "\x1b%1E\x1bTE",
       "image 2x16 at 5,38-15,91; E@20,0; "},
      // Bar codes (ESC ( B k m s v1 v2 c): at the print position, digits below, the position at their right
      // end; wrong data, an unknown type or a code across the right margin print nothing.
      {"\x1b(B\x08" + nul + "\x06\x02" + nul + "\x5a" + nul + nul + "BAX",
       "13 fills to 293,0-307,300; A@0,310; X@307,0; "},
      {"\x1b(B\x08" + nul + "\x07\x02\x03\x01\x01\x03" + "12X", "X@0,0; "},
      // EAN-13 digits in the usual layout: the first left of the guard, each of the others under its seven
      // modules of 2/180 inch (47 dots, a 30-dot digit centred), the right half from the centre guard on.
      {"\x1b(B\x13" + nul + nul + "\x02" + nul + "\x5a" + nul + nul + "4006381333931",
       "30 fills to 627,0-633,300; 4@8,310; 0@28,310; 0@75,310; 6@122,310; 3@169,310; 8@216,310; 1@263,310; "
       "3@341,310; 3@388,310; 3@435,310; 9@482,310; 3@529,310; 1@576,310; "},
      {"\x1b(B\x08" + nul + "\x08\x02" + nul + "\x5a" + nul + nul + "BAX", "X@0,0; "},
      {"\x1b$\xd6\x01\x1b(B\x11" + nul + "\x05\x05" + nul + "\x5a" + nul + "\002ABCDEFGHIJKX", "X@4700,0; "},
  };
  for (const auto& c : cases) EXPECT_EQ(Print(c.bytes), c.printed) << c.printed;

  // The footer, a third of an inch (200 dots) below its line, clears a bar code without digits (0-300).
  std::int32_t endY = 0;
  Print("\x1b(B\x08" + nul + "\x06\x02" + nul + "\x5a" + nul + "\x02" + "BA\r\n\f", &endY);
  EXPECT_EQ(endY, 300 + 10 - 200);

  // Rejected bar codes (data an EAN-13 cannot hold, an unknown type) leave one Error.log line per take.
  std::string logged;
  Print("\x1b(B\x08" + nul + "\x00\x02" + nul + "\x5a" + nul + nul + "12X" + "\x1b(B\x08" + nul +
            "\x20\x02" + nul + "\x5a" + nul + nul + "1",
        nullptr, &logged);
  EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n') - 5, 1) << logged;  // after the five-line header
  EXPECT_NE(logged.find("Strichcode (ESC ( B, Typ 0) nicht gedruckt"), std::string::npos) << logged;
}

// Bar widths in modules from the first bar (POSTNET: 1 for a tall bar), then the characters printed below;
// "-" for data the printer ignores. Every symbol here was read back by a scanner from a rendered page.
TEST(Escp2Graphics, BarCodeEncodings) {
  const struct {
    BarCodeType type;
    const char* data;
    bool check;
    const char* encoded;
  } cases[] = {
      {BarCodeType::kEan13, "400638133393", true,
       "11132111123111414113121122211111141114111411311214112221111 4006381333931"},
      {BarCodeType::kEan13, "400638133393", false, "-"},
      {BarCodeType::kUpcA, "03600029145", true,
       "11132111411111432113211321111111212231122221113212312122111 036000291452"},
      {BarCodeType::kUpcE, "0123456", true, "111122221221411231113211114111111 01234565"},
      {BarCodeType::kCode39, "A", false, "13113131113111131131131131311 *A*"},
      {BarCodeType::kCode39, "AB12", true,
       "131131311131111311311131131131311311113111331111313111311311131131311 *AB12O*"},
      {BarCodeType::kCode39, "a", false, "-"},
      {BarCodeType::kCode128, "BA", false, "2112141113231311232331112 A"},
      {BarCodeType::kCode128, "AAB\144ab\03412;Y", false,
       "2114121113231311231141311211241214211131411122323111413121131212232331112 ABab12Y"},
      {BarCodeType::kCode128, "C123", false, "-"},
      {BarCodeType::kInterleaved2Of5, "12345", true, "1111311311113331311311133111311313311 123457"},
      {BarCodeType::kPostnet, "12345", true, "10001100101001100100101010010101 123455"},
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
