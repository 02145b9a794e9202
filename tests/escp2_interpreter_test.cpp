#include "emulation/escp2/escp2_interpreter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "emulation/printer_document.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// A transcript on one line: "AB@230,253" per run of text, "[height width weight face]" (with "prop" and
// "italic") whenever the device is given a font that differs from the one before, "fill l,t-r,b" per
// rectangle and "|" per page break; the document's start and its footer are left out.
std::string Brief(const std::string& transcript) {
  static const std::regex item(
      "utext '(.*)' at (\\d+,\\d+)-|font #(\\d+) h=(\\S+) w=(\\S+) wt=(\\S+) cs=\\d+ pf=0x(\\S+) "
      "face='(.*)'( "
      "italic)?|select #(\\d+)|fill (\\S+)|page end");
  std::map<std::string, std::string> fonts;
  std::string out, last = "[-88 60 400 Roman]";  // the font every ESC/P 2 page starts with at 600 dpi
  for (std::sregex_iterator i(transcript.begin(), transcript.end(), item), end; i != end; ++i) {
    const std::smatch& m = *i;
    if (m[1].matched) out += " " + m.str(1) + "@" + m.str(2);
    if (m[11].matched) out += " fill " + m.str(11);
    if (m.str(0) == "page end") out += " |";
    if (m[3].matched && !m.str(8).empty()) {
      fonts[m.str(3)] = "[" + m.str(4) + " " + m.str(5) + " " + m.str(6) + " " + m.str(8) +
                        (m.str(7) == "32" ? " prop" : "") + (m[9].matched ? " italic" : "") + "]";
    }
    const auto font = fonts.find(m.str(10));
    if (!m[10].matched || font == fonts.end()) continue;  // the document's own fonts
    if (font->second != last) out += " " + font->second;
    last = font->second;
  }
  // The footer's page end closes every document.
  if (out.size() >= 2 && out.substr(out.size() - 2) == " |") out.resize(out.size() - 2);
  return out.empty() ? out : out.substr(1);
}

// Prints `bytes` as one ESC/P 2 document at 600 dpi on A4 with the default borders: lines start at
// (230, 253), 1/6-inch lines are 100 dots, 10-pitch characters 60.
std::string Print(std::string_view bytes, std::int32_t codePage = 437) {
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("");
  PrintJob take;
  take.Settings.Mode = Emulation::kEscP2;
  take.Settings.CodePage = codePage;
  take.Settings.PaperWidth = 210.0f;
  take.Settings.PaperHeight = 297.0f;
  take.Settings.BorderLeft = 9.75f;
  take.Settings.BorderTop = 10.7f;
  take.Settings.BorderLeftGiven = take.Settings.BorderTopGiven = true;
  take.DataLength = static_cast<std::int32_t>(bytes.size());
  take.Data = SpoolData(new std::uint8_t[bytes.size() + 1]);
  std::memcpy(take.Data.get(), bytes.data(), bytes.size());
  Printout job(take);
  PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  EXPECT_EQ(printers.LiveFonts(), 0u);
  return Brief(printers.Transcript());
}

struct Case {
  const char* name;
  std::string_view bytes;
  std::string brief;
};

TEST(Escp2Interpreter, CommandGroupsPrintAsTheEpsonPrinterDoes) {
  using namespace std::string_view_literals;
  const std::vector<Case> cases = {
      {"CR LF; LF alone also returns", "AB\r\nC\nD"sv, "AB@230,253 C@230,353 D@230,453"},
      {"line spacing ESC 0 3 A +",
       "\x1b"
       "0A\nB\x1b"
       "3\x5a\nC\x1b"
       "A\x0c\nD\x1b+\x48\nE"sv,
       "A@230,253 B@230,328 C@230,628 D@230,748 E@230,868"},
      {"ESC J and ESC j move without a return",
       "A\x1bJ\xb4"
       "B\x1bj\x5a"
       "C"sv,
       "A@230,253 B@290,853 C@350,553"},
      {"ESC $ and ESC \\ in their units, ESC ( U and ESC ( V",
       "\x1b$\x3c\x00"
       "A\x1b\\\xe2\xff"
       "B\x1b(U\x01\x00\x0a\x1b(V\x02\x00\x68\x01"
       "C"sv,
       "A@830,253 B@790,253 C@850,853"},
      {"default and set tab stops",
       "A\tB\r\x1b"
       "D\x03\x0a\x00\tC\tD\tE"sv,
       "A@230,253 B@710,253 C@410,253 D@830,253 E@890,253"},
      {"margins: a full line continues on the next",
       "\x1bl\x05\x1bQ\x0a"
       "ABCDEFG"sv,
       "ABCDE@530,253 FG@530,353"},
      {"pitches; condensed is kept across a form feed",
       "\x1bMA\x1bgB\x0f"
       "C\x1bP\x0c"
       "D\x12"
       "E"sv,
       "[-88 50 400 Roman] A@230,253 [-88 40 400 Roman] B@280,253 C@320,253 | [-88 35 400 Roman] D@230,253 "
       "[-88 60 400 Roman] E@265,253"},
      {"SO until the line feed or ESC W 0, ESC W, ESC w",
       "\x0e"
       "A\nB\x1bW1C\x1bW0\x1bw1D\x0e"
       "E\x1bW0F"sv,
       "[-88 120 400 Roman] A@230,253 [-88 60 400 Roman] B@230,353 [-88 120 400 Roman] C@290,353 [-175 60 "
       "400 Roman] D@410,353 [-175 120 400 Roman] E@470,353 [-175 60 400 Roman] F@590,353"},
      {"bold, italic, underline, ESC ( - strike-through, ESC q",
       "\x1b"
       "EA\x1b"
       "F\x1b"
       "4B\x1b"
       "5\x1b-1C\x1b-0\x1b(-\x03\x00\x01\x02\x01"
       "D\x1bq\x01"
       "E"sv,
       "[-88 60 700 Roman] A@230,253 [-88 60 400 Roman italic] B@290,253 [-88 60 400 Roman] C@350,253 "
       "D@410,253 [-88 60 700 Roman] E@470,253 fill 350,332-410,335 fill 410,288-530,291"},
      {"super- and subscript keep the pitch; ESC k, ESC x",
       "\x1bS0A\x1bS1B\x1bT\x1bk\x01"
       "C\x1bx0D"sv,
       "[-58 40 400 Roman] A@230,253 B@290,282 [-88 60 400 Sans Serif] CD@350,253"},
      {"proportional, ESC SP, ESC c",
       "\x1bp1AB\x1bp0\x1b \x0a"
       "CD\x1b \x00\x1b"
       "c\x48\x00"
       "EF"sv,
       "[-88 60 400 Roman prop] AB@230,253 [-88 60 400 Roman] C@350,253 D@443,253 E@536,253 F@656,253"},
      {"page length in lines; automatic page break",
       "\x1b"
       "C\x02"
       "A\nB\nC\x1b(C\x02\x00\x68\x01\nD\nE"sv,
       "A@230,253 B@230,353 | C@230,253 D@230,353 E@230,453"},
      {"ESC N skips the bottom of the form, ESC O ends that",
       "\x1b"
       "C\x03\x1bN\x01"
       "A\nB\nC\x1bO\nD\nE"sv,
       "A@230,253 B@230,353 | C@230,253 D@230,353 E@230,453"},
      {"a form longer than the paper is scaled to fit",
       "\x1b"
       "C\x48"
       "A\nB"sv,
       "A@230,253 B@230,347"},
      {"ESC ( c margins, ESC B and VT: past the last tab a form feed, after ESC B NUL a return",
       "\x1b(c\x04\x00\x68\x01\x10\x0e"
       "A\x1b"
       "B\x05\x08\x00\x0b"
       "B\x0b"
       "C\x1b"
       "B\x00\x0b"
       "D"sv,
       "A@230,853 B@230,1053 | C@230,853 D@230,853"},
      {"form feeds: the last starts no page, two in a row leave an empty one",
       "A\x0c\x0c"
       "B\x0c\r\n"sv,
       "A@230,253 | | B@230,253"},
      {"national sets, the italic table, ESC 6",
       "\x1bR\x02@[\x1bR\x40#\x1bt\x00\xc1\x81\x1b"
       "6\x81"sv,
       "§Ä#@230,253 [-88 60 400 Roman italic] A @410,253"},
      {"ESC = clears bit 7 (0x8A feeds a line), ESC > sets it on characters, not on LF; ESC # ends it",
       "\x1b=\xc1\x8a\xc2\x1bt\x00\x1b>C\x1bt\x01\na\x1b#E"sv,
       "A@230,253 B@230,353 [-88 60 400 Roman italic] C@290,353 [-88 60 400 Roman] ßE@230,453"},
      {"BS overprints, CAN drops the line through mode changes, DEL the last character",
       "AB\x08"
       "C\rX\x1b"
       "EY\x0fW\x18Z\x1b"
       "F\x12\rQR\x7fS"sv,
       "AB@230,253 C@290,253 [-88 35 700 Roman] Z@230,253 [-88 60 400 Roman] QS@230,253"},
      {"lines and blocks fill whole cells, pieces of a line join", "\xc4\xdb"sv,
       "fill 230,300-290,306 fill 290,253-350,353"},
      {"ESC @ returns to the power-on state",
       "\x1b"
       "E\x1bl\x02\x1b@A"sv,
       "A@230,253"},
  };
  for (const Case& c : cases) EXPECT_EQ(Print(c.bytes), c.brief) << c.name;
  EXPECT_EQ(Print("\x9b\x84", 850), "øä@230,253");
  EXPECT_EQ(Print("\x9b\x84", 866), "ЫД@230,253");
}

TEST(Escp2Interpreter, BadInputPrintsNoParameterAndReadsNothingBeyondTheData) {
  using namespace std::string_view_literals;
  const std::vector<Case> cases = {
      {"ESC ( x with 65535 bytes to come",
       "A\x1b(C\xff\xff"
       "BC"sv,
       "A@230,253"},
      {"ESC C 0 and a length of 0 inches",
       "\x1b"
       "C\x00\x00"
       "AB\x1b"
       "C\x00"sv,
       "AB@230,253"},
      {"tab list without its NUL, ended by a lower value",
       "\x1b"
       "D\x05\x03"
       "AB\x1b"
       "D\x01\x02"sv,
       "AB@230,253"},
      {"bit image cut off",
       "\x1b*\x27\x10\x00"
       "abcde"sv,
       ""},
      {"bit image of exactly its length",
       "\x1b*\x00\x03\x00"
       "abcX\x1bK\x02\x00"
       "deY"sv,
       "X@260,253 Y@340,253"},
      {"run-length raster image",
       "\x1b.\x01\x0a\x0a\x01\x10\x00\x01\xaa\xbb"
       "X\x1b.\x01\x0a\x0a\x02\x10\x00\xfd\x00"sv,
       "X@257,253"},
      {"user-defined characters",
       "\x1b&\x00\x41\x42\x00\x01\x00"
       "abc\x00\x02\x00"
       "defghiX\x1b%1\x1b&\x00\x41\x41\x00\x05\x00"
       "abc"sv,
       "X@230,253"},
      {"ESC ( and ESC at the very end",
       "A\x1b("
       "\x1b"sv,
       "A@230,253"},
      {"ESC $ far right and ESC \\ far left are ignored",
       "A\x1b$\xff\xff"
       "B\x1b\\\x00\x80"
       "C"sv,
       "ABC@230,253"},
  };
  for (const Case& c : cases) EXPECT_EQ(Print(c.bytes), c.brief) << c.name;
}

}  // namespace
}  // namespace quillmark
