#include "emulation/pcl/pcl_interpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "emulation/pcl/pcl_page_sizes.h"
#include "emulation/pcl/pcl_raster.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using namespace std::string_view_literals;

// What a take left behind: the cursor in 300-dpi dots from the logical page's corner (the manual's own
// figures), the sheets and the marks as "'AB'@left", "fill l,t-r,b", "white l,t-r,b", "image WxH l,t-r,b"
// "sheet WxH" where a page gets a sheet other than the paper, and "|" between sheets. The device prints at
// 300 dpi from the sheet's corner, so marks are in the manual's dots too: on Letter the logical page begins
// 75 dots from the left edge.
struct Outcome {
  double x = 0;
  double y = 0;
  std::int32_t sheets = 0;
  std::string marks;
  bool droppedCopies = false;
  bool droppedMacros = false;
};

Outcome Print(std::string_view bytes, std::int32_t pageSize = kPclLetter) {
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("LaserJet", {.dpiX = 300, .dpiY = 300});
  JobSettings settings;
  settings.Printer.Assign("LaserJet");
  auto device = printers.OpenDevice(settings);
  device->StartPage();
  printers.ClearTranscript();
  Outcome outcome;
  {
    PclInterpreter printer(PclTarget{.device = device.get(), .pageSize = pageSize}, printers);
    printer.Run(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
    outcome.x = static_cast<double>(printer.State().cursor.x) / kPclUnitsPerDot300;
    outcome.y = static_cast<double>(printer.State().cursor.y) / kPclUnitsPerDot300;
    printer.Finish();
    outcome.sheets = printer.Sheets();
    outcome.droppedCopies = printer.DroppedCopies();
    outcome.droppedMacros = printer.DroppedMacros();
  }
  static const std::regex item(
      "utext '(.*)' at (-?\\d+),|fill (\\S+)|image (\\S+) at (\\S+)|page end|text color 0x(\\w+)|page size "
      "(\\S+)");
  const std::string transcript = printers.Transcript();
  bool white = false;
  for (std::sregex_iterator i(transcript.begin(), transcript.end(), item), end; i != end; ++i) {
    const std::smatch& m = *i;
    if (m[1].matched) outcome.marks += " '" + m.str(1) + "'@" + m.str(2);
    if (m[3].matched) outcome.marks += (white ? " white " : " fill ") + m.str(3);
    if (m[4].matched) outcome.marks += " image " + m.str(4) + " " + m.str(5);
    if (m.str(0) == "page end") outcome.marks += " |";
    if (m[6].matched) white = m.str(6) == "FFFFFF";
    if (m[7].matched) outcome.marks += " sheet " + m.str(7);
  }
  if (!outcome.marks.empty()) outcome.marks.erase(0, 1);
  return outcome;
}

struct Case {
  const char* name;
  std::string_view bytes;
  double x;
  double y;
  std::string marks = "*";   // "*": not compared
  std::int32_t sheets = -1;  // -1: not compared
};

// Letter, portrait, 300 dpi: the top margin is half an inch (150 dots), lines are 50 dots at 6 lpi and
// the first line's baseline lies three quarters of a line below the top margin; Courier 10 is 30 dots
// a character.
// A LaserJet bitmap font (ID 5): its 64-byte header (fixed pitch of 120 quarter dots, 10 cpi) and the
// character A, 8 x 10 dots whose top row lies 10 dots above the baseline, then A printed with it.
std::string SoftFontTake() {
  std::string header(64, '\0');
  header[1] = 64, header[17] = 120, header[19] = 40;
  const std::string character =
      std::string("\x04\x00\x0e\x01\x00\x00\x00\x00\x00\x0a\x00\x08\x00\x0a\x00\x78", 16) +
      std::string(10, '\xff');
  return "\x1b*c5D\x1b)s64W" + header + "\x1b*c65E\x1b(s26W" + character + "\x1b(5XA";
}

// The same A as a compressed (class 2) character, 8 x 2 dots: the row once more, then runs of 2 white,
// 4 black and 2 white dots.
std::string CompressedSoftFontTake() {
  std::string take = SoftFontTake();
  const std::string character =
      std::string("\x04\x00\x0e\x02\x00\x00\x00\x00\x00\x0a\x00\x08\x00\x02\x00\x78\x01\x02\x04\x02", 20);
  return take.replace(take.find("\x1b(s26W"), 6 + 26, "\x1b(s20W" + character);
}

// The same font as format 20 at 600 dpi: its dots are half as large.
std::string SoftFont600Take() {
  std::string take = SoftFontTake();
  take.replace(take.find(")s64W"), 5, ")s66W");
  take[take.find(")s66W") + 5 + 2] = 20;
  take.insert(take.find(")s66W") + 5 + 64, std::string("\x02\x58", 2));
  return take;
}

TEST(PclInterpreter, CommandsMoveTheCursorAndMarkThePageAsTheManualSays) {
  static const std::string kSixtyLines = std::string(60, '\n') + "A";
  static const std::string kA4Lines = "\x1b&l26A" + std::string(64, '\n') + "A";
  static const std::string kPushes = [] {
    std::string take;
    for (int k = 1; k <= 21; ++k) take += "\x1b*p" + std::to_string(k * 10) + "X\x1b&f0S";
    return take + "\x1b*p700X\x1b&f1S";
  }();
  static const std::string kSoftFont = SoftFontTake();
  static const std::string kSoftFont600 = SoftFont600Take();
  static const std::string kCompressed = CompressedSoftFontTake();
  const Case cases[] = {
      {"power-on: left edge, first line", ""sv, 0, 187.5, "", 0},
      {"text advances by the HMI", "AB"sv, 60, 187.5, "'AB'@75"},
      {"CR to the left margin", "AB\r"sv, 0, 187.5},
      {"LF keeps the column", "AB\n"sv, 60, 237.5},
      {"BS one column back, never past the margin", "AB\b\r\b"sv, 0, 187.5},
      {"HT to every eighth column", "A\tB\t"sv, 480, 187.5},
      {"HT stops count from the left margin", "\x1b&a2L\r\t"sv, 300, 187.5},
      {"ESC = half line feed", "\x1b="sv, 0, 212.5},
      {"ESC & k 1 G: CR is CR LF", "AB\x1b&k1G\r"sv, 0, 237.5},
      {"ESC & k 2 G: LF is CR LF", "AB\x1b&k2G\n"sv, 0, 237.5},
      {"ESC & k 3 G: FF is CR FF", "AB\x1b&k3G\fC"sv, 30, 187.5, "'AB'@75 | 'C'@75", 2},
      {"ESC & l 8 D: 8 lines per inch", "\x1b&l8D\n"sv, 0, 225},
      {"ESC & l # C: VMI in 1/48 inch", "\x1b&l12C\n"sv, 0, 262.5},
      {"ESC & l 5 D is no line spacing the printer has", "\x1b&l5D\n"sv, 0, 237.5},
      {"ESC & a # C: columns from the logical page's edge", "\x1b&a10C"sv, 300, 187.5},
      {"ESC & a +# C: relative columns", "AB\x1b&a+2C"sv, 120, 187.5},
      {"ESC & a # H: decipoints", "\x1b&a720H"sv, 300, 187.5},
      {"ESC & a # V: decipoints from the top margin", "\x1b&a720V"sv, 0, 450},
      {"ESC & a # R: rows from the first line", "\x1b&a2R"sv, 0, 287.5},
      {"ESC & a -# R: rows up", "\n\n\n\x1b&a-2R"sv, 0, 237.5},
      {"ESC * p # X / # Y: PCL units", "\x1b*p300x+30Y"sv, 300, 217.5},
      {"ESC & u 600 D: finer PCL units", "\x1b&u600D\x1b*p600X"sv, 300, 187.5},
      {"ESC & u 4801 D: the unit nearest by relative error, 7200", "\x1b&u4801D\x1b*p7200X"sv, 300, 187.5},
      {"a move off the logical page stops at its edge", "\x1b&a-720H\x1b*p99999X"sv, 2400, 187.5},
      {"ESC & f 0 S / 1 S: push and pop", "\x1b*p100x100Y\x1b&f0S\x1b*p9x9Y\x1b&f1S"sv, 100, 250},
      {"the stack holds 20 positions: the 21st push is ignored", kPushes, 200, 187.5},
      {"ESC & l 4 E: top margin in lines", "\x1b&l4E\x1b&a0R"sv, 0, 237.5},
      {"ESC & l # E sets the text length anew: 59 lines below 4", "\x1b&l2F\x1b&l4E\x1b&a0R\n\nA"sv, 30,
       337.5, "'A'@75", 1},
      {"ESC & a 5 L: left margin in columns", "\x1b&a5L\r"sv, 150, 187.5},
      {"a left margin right of the cursor moves it there", "\x1b&a5L"sv, 150, 187.5},
      {"a left margin right of the right margin is ignored", "\x1b&a10M\x1b&a20L\r"sv, 0, 187.5},
      {"ESC 9 clears the margins",
       "\x1b&a5L\x1b"
       "9\r"sv,
       0, 187.5},
      {"ESC & a 9 M, ESC & s 0 C: a full line wraps", "\x1b&a9M\x1b&s0CAAAAAAAAAAB"sv, 30, 237.5,
       "'AAAAAAAAAA'@75 'B'@75"},
      {"without wrap text runs past the right margin",
       "\x1b&a1M"
       "AAA"sv,
       90, 187.5, "'AAA'@75"},
      {"ESC & k # H: HMI in 1/120 inch", "\x1b&k10HAB"sv, 50, 187.5, "'A'@75 'B'@100"},
      {"ESC & k 0 H: characters print on top of each other", "\x1b&k0HAB"sv, 0, 187.5, "'A'@75 'B'@75"},
      {"ESC ( s 12 H: 12 pitch", "\x1b(s12HAB"sv, 50, 187.5, "'AB'@75"},
      {"ESC & k 2 S: compressed pitch 16.67", "\x1b&k2SAB"sv, 36, 187.5},
      {"ESC & k 4 S: elite pitch 12", "\x1b&k4SAB"sv, 50, 187.5},
      {"ESC ( s 0 T Line Printer is 16.67 pitch only", "\x1b(s0T\x1b(s16.67HA"sv, 18, 187.5},
      {"the pitch outranks the typeface: Line Printer at 10 pitch is Courier", "\x1b(s0TA"sv, 30, 187.5},
      {"SO and SI switch to the secondary font and back",
       "\x1b)s12H\x0e"
       "A\x0f"
       "A"sv,
       55, 187.5},
      {"a secondary font setting keeps the HMI in use", "\x1b&k10H\x1b)s12HAB"sv, 50, 187.5},
      {"ESC & l 1 O: landscape Letter's logical page on a sheet lying across, 11 inches wide",
       "\x1b&l1OA\x1b&a100CB"sv, 3030, 187.5, "sheet 3300x2550 'A'@60 'B'@3060"},
      {"ESC & l 3 O: reversed landscape prints upright as landscape", "\x1b&l3OA"sv, 30, 187.5,
       "sheet 3300x2550 'A'@60"},
      {"ESC & l 26 A: A4's logical page on an A4 sheet", "\x1b&l26AA"sv, 30, 187.5, "sheet 2480x3507 'A'@71"},
      {"a repeated page size or orientation starts no page", "A\x1b&l2a0OB"sv, 60, 187.5, "'AB'@75", 1},
      {"Executive and A3 have the manual's logical pages", "\x1b&l1AA\x1b&l27AB"sv, 30, 187.5,
       "sheet 2175x3150 'A'@75 | sheet 3507x4960 'B'@71", 2},
      {"ESC & l 720 U: left offset registration moves the logical page", "\x1b&l720UA"sv, 30, 187.5,
       "'A'@375"},
      {"orientation and size change the following sheets; portrait Letter is the paper again",
       "\x1b&l1OA\x1b&l0OB\x1b&l81AC\x1b&l3AD"sv, 30, 187.5,
       "sheet 3300x2550 'A'@60 | sheet 0x0 'B'@75 | sheet 1237x2850 'C'@75 | sheet 2550x4200 'D'@75", 4},
      {"perforation skip: the 60th LF starts a new page", kSixtyLines, 30, 187.5, "| 'A'@75", 2},
      {"on A4 the 64th LF starts a new page", kA4Lines, 30, 187.5, "sheet 2480x3507 | 'A'@71", 2},
      {"ESC & l 0 L: no skip, 60 lines fit the sheet", "\x1b&l0L\x1b&a59RA"sv, 30, 3137.5, "'A'@75", 1},
      {"ESC & l 2 F: text length in lines", "\x1b&l2F\n\nA"sv, 30, 187.5, "| 'A'@75", 2},
      {"ESC & l # F is ignored at VMI 0", "\x1b&l0C\x1b&l2F\x1b&l6D\n\nA"sv, 30, 287.5, "'A'@75", 1},
      {"ESC & l 0 H prints a marked page, an empty one stays", "A\x1b&l0H\x1b&l0HB"sv, 60, 187.5,
       "'A'@75 | 'B'@105", 2},
      {"FF ejects even an empty page; ESC E only a marked one",
       "A\f\f\x1b"
       "E\x1b"
       "E"sv,
       0, 187.5, "'A'@75 |", 2},
      {"ESC & l 2 X: copies", "\x1b&l2XA\f"sv, 30, 187.5, "'A'@75 | 'A'@75", 2},
      {"copies stop at 10,000 extra sheets: 10 pages of 999, then once each",
       "\x1b&l999XA\fA\fA\fA\fA\fA\fA\fA\fA\fA\fA\fA\f"sv, 360, 187.5, "*", 9992},
      {"ESC & d D underlines the text until ESC & d @", "\x1b&dDAB\x1b&d@C"sv, 90, 187.5,
       "'ABC'@75 fill 75,192-135,196"},
      {"ESC * c # A # B 0 P: a black rule at the cursor", "\x1b*p300x300Y\x1b*c300a60b0P"sv, 300, 450,
       "fill 375,450-675,510"},
      {"ESC * c # H # V: rule sizes in decipoints", "\x1b*c720h72v0P"sv, 0, 187.5, "fill 75,188-375,218"},
      {"nothing prints within a sixth of an inch of the sheet's edges; rules stay on the logical page",
       "\x1b&a-9999VA\x1b*p-75x+0Y\x1b*c9999a100b0P"sv, 0, 0, "fill 75,50-2475,100"},
      {"ESC * c 1 P: white erases", "\x1b*c30a30b1P"sv, 0, 187.5, "white 75,188-105,218"},
      {"ESC * c 100 g 2 P: full shading is black", "\x1b*c30a30b100g2P"sv, 0, 187.5, "fill 75,188-105,218"},
      {"ESC * c 10 g 2 P: a shade is a pattern", "\x1b*c30a30b10g2P"sv, 0, 187.5,
       "image 30x30 75,188-105,218"},
      {"ESC * c 1 g 3 P: a cross-hatch is a pattern", "\x1b*c30a30b1g3P"sv, 0, 187.5,
       "image 30x30 75,188-105,218"},
      {"ESC * c 0 g 2 P: no shade, no mark", "\x1b*c30a30b0g2P"sv, 0, 187.5, ""},
      {"raster at the cursor moves down a row per row",
       "\x1b*t300R\x1b*p30X\x1b*r1A\x1b*b2W\xff\x00\x1b*b1W\x80\x1b*rB"sv, 30, 189.5,
       "image 8x2 105,188-113,190"},
      {"raster ESC * r # S width, 75 dpi, from the left edge",
       "\x1b*p30X\x1b*r8S\x1b*r0A\x1b*b1W\xaa\x1b*b1Y\x1b*b1W\x55\x1b*rC"sv, 0, 199.5,
       "image 8x3 75,188-107,200"},
      {"a picture keeps only its whole pixels below the unprintable top sixth of an inch",
       "\x1b&l0E\x1b*p0x40Y\x1b*r1A\x1b*b1W\xff\x1b*b1W\xff\x1b*b1W\xff\x1b*b1W\xf0\x1b*rB"sv, 0, 56,
       "image 8x1 75,52-107,56"},
      {"ESC * b # W outside a picture starts one", "\x1b*r16S\x1b*b2W\xff\xff"sv, 0, 191.5,
       "image 16x1 75,188-139,192"},
      {"ESC * t 150 R: two dots a pixel", "\x1b*t150R\x1b*r1A\x1b*b1W\xff\x1b*rB"sv, 0, 189.5,
       "image 8x1 75,188-91,190"},
      {"ESC & p # X prints control codes as characters", "\x1b&p2X\r\x0c"sv, 60, 187.5, "'♪♀'@75"},
      {"ESC ( 0 N: Latin 1 prints 0xE9 as é", "\x1b(0N\xe9"sv, 30, 187.5, "'é'@75"},
      {"ESC ( 8 U: Roman-8 prints 0xE9 as Õ", "\x1b(8U\xe9"sv, 30, 187.5, "'Õ'@75"},
      {"PC-8 prints 0x81 as ü", "\x81"sv, 30, 187.5, "'ü'@75"},
      {"ESC ( 12 U, 11 U, 19 U: PC-850 ø, PC-8 D/N Ø, Windows “", "\x1b(12U\x9b\x1b(11U\x9d\x1b(19U\x93"sv,
       90, 187.5, "'øØ“'@75"},
      {"box lines fill the line pitch and join", "\xb3\n\b\xc0\xc4"sv, 60, 237.5,
       "fill 89,150-92,227 fill 88,224-135,227"},
      {"ASCII has no upper half",
       "\x1b(0U\x81"
       "A"sv,
       30, 187.5, "'A'@75"},
      {"a downloaded bitmap character prints as its dots", kSoftFont, 30, 187.5, "image 8x10 75,178-83,188"},
      {"a 600-dpi bitmap font's dots are half as large", kSoftFont600, 15, 187.5, "image 8x10 75,182-79,188"},
      {"a compressed bitmap character", kCompressed, 30, 187.5, "image 8x2 75,178-83,180"},
      {"macros: define, execute, call",
       "\x1b&f1y0X"
       "AB\x1b&f1X\x1b&f1y2X\x1b&f3X"sv,
       60, 187.5, "'ABAB'@75"},
      {"raster rows of a called macro go with the environment it restores",
       "\x1b*r1A\x1b*b1W\xff\x1b&f1y0X\x1b*b1W\xff\x1b*b1W\xff\x1b&f1X\x1b&f3X\x1b*b2W\xff\xff\x1b*rB"sv, 0,
       195.5, "image 16x2 75,188-139,196"},
      {"a called macro leaves the environment as it was", "\x1b&f1y0X\x1b&l8D\x1b&f1X\x1b&f1y3X\n"sv, 0,
       237.5},
      {"an overlay macro marks every page; FF keeps the column",
       "\x1b&f2y0X"
       "O\x1b&f1X\x1b&f2y4X"
       "A\fB"sv,
       60, 187.5, "'A'@75 'O'@75 | 'B'@105 'O'@75", 2},
      {"a deleted macro does nothing",
       "\x1b&f1y0X"
       "A\x1b&f1X\x1b&f1y8X\x1b&f1y2X"sv,
       0, 187.5, "", 0},
      {"HP-GL/2 is skipped as a whole", "A\x1b%1BIN;LBtext\x03;PD1,1;\x1b%0AB"sv, 60, 187.5, "'AB'@75"},
      {"PJL lines and the UEL print nothing", "\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PCL\r\nA"sv, 30,
       187.5, "'A'@75"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Print(c.bytes);
    EXPECT_NEAR(outcome.x, c.x, 0.05) << c.name;
    EXPECT_NEAR(outcome.y, c.y, 0.05) << c.name;
    if (c.marks != "*") {
      EXPECT_EQ(outcome.marks, c.marks) << c.name;
    }
    if (c.sheets >= 0) {
      EXPECT_EQ(outcome.sheets, c.sheets) << c.name;
    }
  }
}

// Combined sequences, unknown commands and counted data never print, and a take cut anywhere ends quietly.
TEST(PclInterpreter, SyntaxIsReadWholeAndNothingLeaksIntoTheText) {
  const struct {
    std::string_view bytes;
    std::string marks;
  } rows[] = {
      {"\x1b(s0p12h10v0s0b3TA"sv, "'A'@75"},
      {"\x1b(s0P\x1b(s12H\x1b(s10V\x1b(s0S\x1b(s0B\x1b(s3TA"sv, "'A'@75"},
      {"\x1b&z5.5q-2Q\x1bQA"sv, "'A'@75"},                      // unknown, both kinds
      {"\x1b*v6Wabcdef\x1b*l3wxyz1QA"sv, "'A'@75"},             // data commands, combined too
      {"\x1b*b9999WA"sv, "image 8x1 75,188-107,192"},           // data longer than the take
      {"\x1b&l"sv, ""},                                         // cut in a sequence
      {"\x1b(s-1.5h+2.25V\x1b&a+.5C\x1b&a-0.5CA"sv, "'A'@75"},  // signs and fractions
      {"\x1b(s\x07"
       "A"sv,
       "'A'@75"},                       // a control code ends a sequence
      {"\x1b\r"sv, ""},                 // ESC before no command
      {"\x1b*p30x*p0YA"sv, "'A'@105"},  // a second sequence chained without ESC
  };
  for (const auto& row : rows)
    EXPECT_EQ(Print(row.bytes).marks, row.marks) << ::testing::PrintToString(row.bytes);
}

// Plain text takes a shorter way than a character between commands: both must print alike. A NUL after
// each character (ignored by the printer) sends every one the long way.
TEST(PclInterpreter, TextPrintsAsItDoesCharacterByCharacter) {
  const struct {
    std::string modes;
    std::string text;
  } rows[] = {
      {"", "Hello, World"},
      {"", std::string(100, 'x')},          // past the logical page: dropped
      {"\x1b&s0C", std::string(100, 'x')},  // wraps
      {"\x1b&a10L\x1b&a40M\x1b&s0C", std::string(45, 'x')},
      {"\x1b(10U", "\xDA\xC4\xC4\xBF\xB3 a \xB3\x84"},
      {"\x1b(8U", "\xA1\xC5\xFF\x80"},
      {"\x1b(s1P", "Wii Wii"},
      {"\x1b&d0D", "a b c"},
      {"\x1b&k8H\x1b*p-40X", "squeezed"},  // starting left of the printable area
      {"\x1b&k0H", "overstruck"},
      {"\x1b(s16.67H", std::string(150, 'c')},
  };
  for (const auto& row : rows) {
    std::string slow;
    for (const char c : row.text) slow += std::string{c, '\0'};
    const Outcome fast = Print(row.modes + row.text);
    const Outcome each = Print(row.modes + slow);
    EXPECT_EQ(fast.marks, each.marks) << ::testing::PrintToString(row.modes + row.text);
    EXPECT_EQ(fast.x, each.x) << ::testing::PrintToString(row.modes + row.text);
  }
}

// A take gets up to 10,000 extra sheets of copies and 4 MB of macros; what goes past is left out and
// reported, so that the log can say so.
TEST(PclInterpreter, CopiesAndMacrosPastTheirLimitsAreLeftOutAndReported) {
  const auto pages = [](int count) {
    std::string take = "\x1b&l999X";  // 998 extra sheets a page
    for (int page = 0; page < count; ++page) take += "P\f";
    return take;
  };
  const auto macro = [](std::size_t bytes) { return "\x1b&f1y0X" + std::string(bytes, 'X') + "\x1b&f1X"; };
  const struct {
    std::string bytes;
    std::int32_t sheets;
    bool droppedCopies;
    bool droppedMacros;
  } rows[] = {
      {pages(10), 9990, false, false},
      {pages(11), 9991, true, false},  // the 11th page would pass 10,000 extra sheets: it prints once
      {"\x1b&l1000XP\f", 999, false, false},
      {macro(4 << 20), 0, false, false},
      {macro((4 << 20) + 1), 0, false, true},
  };
  for (const auto& row : rows) {
    const Outcome outcome = Print(row.bytes);
    EXPECT_EQ(outcome.sheets, row.sheets) << row.bytes.size();
    EXPECT_EQ(outcome.droppedCopies, row.droppedCopies) << row.bytes.size();
    EXPECT_EQ(outcome.droppedMacros, row.droppedMacros) << row.bytes.size();
  }
}

// The raster compression methods decode as the manual's examples show.
TEST(PclInterpreter, RasterRowsDecodeByEveryCompressionMethod) {
  const struct {
    std::int32_t method;
    std::vector<std::uint8_t> seed;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> row;
  } rows[] = {
      {0, {}, {0xAA, 0x55}, {0xAA, 0x55, 0x00, 0x00}},
      {1, {}, {0x02, 0xFF, 0x00, 0x11}, {0xFF, 0xFF, 0xFF, 0x11}},
      {2, {}, {0xFE, 0xAA, 0x00, 0x55}, {0xAA, 0xAA, 0xAA, 0x55}},
      {2, {}, {0x80, 0x01, 0x12, 0x34}, {0x12, 0x34, 0x00, 0x00}},      // -128 is no operation
      {3, {1, 2, 3, 4}, {0x21, 0xAA, 0xBB}, {1, 0xAA, 0xBB, 4}},        // 2 bytes at offset 1
      {3, {1, 2, 3, 4}, {0x00, 0x0A, 0x01, 0x0B}, {0x0A, 2, 0x0B, 4}},  // offsets count on from the last byte
      {3, {1, 2, 3, 4}, {}, {1, 2, 3, 4}},                              // an empty row repeats the seed
      {9, {1, 2, 3, 4}, {0x09, 0xAA, 0xBB}, {1, 0xAA, 0xBB, 4}},        // literal: offset 1, 2 bytes
      {9, {1, 2, 3, 4}, {0xA1, 0x77}, {1, 0x77, 0x77, 0x77}},           // run: offset 1, 3 times
  };
  for (const auto& row : rows) {
    std::vector<std::uint8_t> seed = row.seed;
    DecodePclRasterRow(row.method, row.data.data(), static_cast<std::int32_t>(row.data.size()), 4, seed);
    EXPECT_EQ(seed, row.row) << "method " << row.method;
  }
}

}  // namespace
}  // namespace quillmark
