#include "emulation/interpreter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "emulation/printer_document.h"
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

struct Case {
  const char* name;
  std::string_view bytes;
  const char* transcript;
};

// 600 dpi, no physical offsets and the default borders: lines start at (230, 253); the default font is
// #1 with 60 x 84 dot cells, so 'A' is drawn at 230,253-290,337.
class Interpreter : public ::testing::Test {
 protected:
  // Starts a document for `bytes` on a fresh print system, so fonts count from #1 again, and forgets the
  // transcript of the start.
  void Start(std::string_view bytes, const char* printer = "Office") {
    job = PrintJob();  // releases the device of the previous run while its print system still lives
    printers.emplace();
    printers->AddPrinter("Office", FakePrinter{600, 600, 0, 0, true});
    printers->AddPrinter("Huge", FakePrinter{kMax, kMax, 0, 0, true});
    job.Settings.Printer.Assign(printer);
    job.Settings.CharSet = 255;
    job.Settings.PositionMode = 1;
    job.Settings.BorderLeft = 9.75f;
    job.Settings.BorderTop = 10.7f;
    job.DataLength = static_cast<std::int32_t>(bytes.size());
    job.Data = SpoolData(new std::uint8_t[bytes.size()]);
    std::memcpy(job.Data.get(), bytes.data(), bytes.size());
    OpenPrinterDevice(job, *printers, log);
    StartDocument(job, *printers);
    printers->ClearTranscript();
  }

  // Interprets all of `bytes` the way the print worker does and returns what the device saw.
  std::string Run(std::string_view bytes, const char* printer = "Office") {
    Start(bytes, printer);
    std::int32_t position = 0;
    while (position < job.DataLength) {
      const std::int32_t before = position;
      InterpretByte(job, position, *printers);
      EXPECT_GT(position, before);
      EXPECT_LE(position, job.DataLength);
    }
    return printers->Transcript();
  }

  template <std::size_t N>
  void ExpectTranscripts(const Case (&cases)[N]) {
    for (const Case& c : cases) EXPECT_EQ(Run(c.bytes), c.transcript) << c.name;
  }

  MemoryFileSystem files;
  FixedClock clock;
  ErrorLog log{files, clock};
  std::optional<RecordingPrintSystem> printers;
  PrintJob job;  // after the print system: its device must go first
};

TEST_F(Interpreter, LinesAndIgnoredControls) {
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"CR LF starts the next line at the margin", "AB\r\nD",
       "text 'A' at 230,253-290,337\n"
       "text 'B' at 290,253-350,337\n"
       "text 'D' at 230,353-290,437\n"},
      {"LF alone keeps X", "AB\nD",
       "text 'A' at 230,253-290,337\n"
       "text 'B' at 290,253-350,337\n"
       "text 'D' at 350,353-410,437\n"},
      {"other control codes move nothing",
       "A\0\a\b\t\v\x11\x13\x16\x1a\x1c\x1f"
       "B"sv,
       "text 'A' at 230,253-290,337\n"
       "text 'B' at 290,253-350,337\n"},
      {"bytes 127 to 255 are characters", "\x7f\x80\xe4\xff",
       "text '\\x7F' at 230,253-290,337\n"
       "text '\\x80' at 290,253-350,337\n"
       "text '\\xE4' at 350,253-410,337\n"
       "text '\\xFF' at 410,253-470,337\n"},
  };
  ExpectTranscripts(cases);
}

TEST_F(Interpreter, FormFeedNeedsTwoMoreBytes) {
  const Case cases[] = {
      {"last byte", "A\f", "text 'A' at 230,253-290,337\n"},
      {"one byte after it", "A\f\x1a", "text 'A' at 230,253-290,337\n"},
      {"CR LF after it: a second page", "A\f\r\n",
       "text 'A' at 230,253-290,337\n"
       "page end\n"
       "page start\n"
       "font #2 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
       "select #2\n"
       "delete #1\n"},
      {"back to the origin", "AB\nC\fDE",
       "text 'A' at 230,253-290,337\n"
       "text 'B' at 290,253-350,337\n"
       "text 'C' at 350,353-410,437\n"
       "page end\n"
       "page start\n"
       "font #2 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
       "select #2\n"
       "delete #1\n"
       "text 'D' at 230,253-290,337\n"
       "text 'E' at 290,253-350,337\n"},
  };
  ExpectTranscripts(cases);
}

TEST_F(Interpreter, FormFeedEndsCondensedAndLineWidthButKeepsTheRest) {
  // Bold, double width, double height, condensed, one-line double width, 1/8-inch lines; then a page.
  EXPECT_EQ(Run("\x1b"
                "E\x1bW1\x1bw1\x0f\x0e\x1b"
                "0A\fB\nC"),
            "font #2 h=-84 w=60 wt=700 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "font #3 h=-84 w=120 wt=700 cs=255 pf=0x31 face=''\n"
            "select #3\n"
            "delete #2\n"
            "font #4 h=-168 w=120 wt=700 cs=255 pf=0x31 face=''\n"
            "select #4\n"
            "delete #3\n"
            "font #5 h=-168 w=70 wt=700 cs=255 pf=0x31 face=''\n"
            "select #5\n"
            "delete #4\n"
            "font #6 h=-168 w=140 wt=700 cs=255 pf=0x31 face=''\n"
            "select #6\n"
            "delete #5\n"
            "font #7 h=-168 w=140 wt=700 cs=255 pf=0x31 face=''\n"
            "select #7\n"
            "delete #6\n"
            "text 'A' at 230,253-370,421\n"
            "page end\n"
            "page start\n"
            "font #8 h=-168 w=120 wt=700 cs=255 pf=0x31 face=''\n"
            "select #8\n"
            "delete #7\n"
            "text 'B' at 230,253-350,421\n"
            "text 'C' at 350,328-470,496\n");
}

TEST_F(Interpreter, OneLineDoubleWidthSurvivesCarriageReturnButNotLineFeed) {
  EXPECT_EQ(Run("\x0e"
                "AB\rCD\nEF"),
            "font #2 h=-84 w=120 wt=400 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "text 'A' at 230,253-350,337\n"
            "text 'B' at 350,253-470,337\n"
            "text 'C' at 230,253-350,337\n"
            "text 'D' at 350,253-470,337\n"
            "font #3 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #3\n"
            "delete #2\n"
            "text 'E' at 470,353-530,437\n"
            "text 'F' at 530,353-590,437\n");
}

TEST_F(Interpreter, DoubleWidthAndHeightArguments) {
  struct Switch {
    char command;
    std::uint8_t argument;
    std::uint8_t before, after;
  };
  const Switch cases[] = {
      {'W', 1, 0, 1},   {'W', '1', 0, 1}, {'W', 0, 1, 0}, {'W', '0', 1, 0}, {'W', 2, 0, 0},
      {'W', 2, 1, 1},   {'W', 'x', 1, 1}, {'w', 1, 0, 1}, {'w', '1', 0, 1}, {'w', 0, 1, 0},
      {'w', '0', 1, 0}, {'w', 2, 1, 1},   {'w', 2, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string bytes{'\x1b', c.command, static_cast<char>(c.argument)};
    Start(bytes);
    std::uint8_t& flag = c.command == 'W' ? job.DoubleWidth : job.DoubleHeight;
    flag = c.before;
    std::int32_t position = 0;
    InterpretByte(job, position, *printers);
    EXPECT_EQ(position, 3);
    EXPECT_EQ(flag, c.after) << "ESC " << c.command << " " << int{c.argument} << " from " << int{c.before};
  }
  // An argument that changes nothing still makes a new font.
  EXPECT_EQ(Run("\x1bW\x02"),
            "font #2 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n");
}

TEST_F(Interpreter, DoubleWidthLastsAcrossLines) {
  EXPECT_EQ(Run("\x1bW1A\r\nB"),
            "font #2 h=-84 w=120 wt=400 cs=255 pf=0x31 face=''\n"
            "select #2\n"
            "delete #1\n"
            "text 'A' at 230,253-350,337\n"
            "text 'B' at 230,353-350,437\n");
}

TEST_F(Interpreter, LineSpacingCommands) {
  using namespace std::string_view_literals;
  struct Spacing {
    std::string_view bytes;
    float spacing;
    std::int32_t nextY;  // after one more line feed from 253 at 600 dpi
  };
  const Spacing cases[] = {
      {"\x1b"
       "0",
       0.125f, 328},
      {"\x1b"
       "2",
       1.0f / 6, 353},
      {"\x1b"
       "3\x1e",
       1.0f / 6, 353},  // 30/180 is exactly what ESC 2 stores
      {"\x1b"
       "3\0"sv,
       0.0f, 253},
      {"\x1b"
       "3\xff",
       255 / 180.0f, 1103},    // 849.99998 dots
      {"\x1b+Z", 0.25f, 403},  // 90/360
      {"\x1b"
       "A\x0c",
       0.2f, 373},  // 12/60
  };
  for (const auto& c : cases) {
    Run(c.bytes);
    EXPECT_EQ(job.LineSpacing, c.spacing) << ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(NextLineY(job), c.nextY) << ::testing::PrintToString(std::string(c.bytes));
  }
}

// Only the font lines of a transcript.
std::string FontLines(const std::string& transcript) {
  std::string fonts;
  for (std::size_t start = 0; start < transcript.size();) {
    const std::size_t end = transcript.find('\n', start) + 1;
    if (transcript.compare(start, 5, "font ") == 0) fonts += transcript.substr(start, end - start);
    start = end;
  }
  return fonts;
}

std::string Esc(std::string_view command) {
  std::string sequence(1, '\x1b');
  sequence.append(command);
  return sequence;
}

TEST_F(Interpreter, PitchAndModeCommands) {
  const struct {
    std::string bytes;
    const char* fonts;
  } cases[] = {
      {Esc("M") + Esc("G") + Esc("E") + Esc("H"),
       "font #2 h=-84 w=50 wt=400 cs=255 pf=0x31 face=''\n"
       "font #3 h=-84 w=50 wt=500 cs=255 pf=0x31 face=''\n"
       "font #4 h=-84 w=50 wt=700 cs=255 pf=0x31 face=''\n"
       "font #5 h=-84 w=50 wt=700 cs=255 pf=0x31 face=''\n"},
      {Esc("g") + Esc("\x0f") + Esc("p\x01") + Esc("P") + Esc("F"),
       "font #2 h=-84 w=40 wt=400 cs=255 pf=0x31 face=''\n"
       "font #3 h=-84 w=40 wt=400 cs=255 pf=0x31 face=''\n"
       "font #4 h=-84 w=20 wt=400 cs=255 pf=0x32 face=''\n"
       "font #5 h=-84 w=17 wt=400 cs=255 pf=0x32 face=''\n"
       "font #6 h=-84 w=17 wt=400 cs=255 pf=0x32 face=''\n"},
      // ESC p takes "1" and "0" like 1 and 0; any other value is proportional but never halves.
      {"\x0f" + Esc("p1") + Esc("p0") + Esc("p\x02") + Esc(std::string_view("p\0", 2)),
       "font #2 h=-84 w=35 wt=400 cs=255 pf=0x31 face=''\n"
       "font #3 h=-84 w=17 wt=400 cs=255 pf=0x32 face=''\n"
       "font #4 h=-84 w=35 wt=400 cs=255 pf=0x31 face=''\n"
       "font #5 h=-84 w=35 wt=400 cs=255 pf=0x32 face=''\n"
       "font #6 h=-84 w=35 wt=400 cs=255 pf=0x31 face=''\n"},
      {"\x0f\x0e\x12\x14",
       "font #2 h=-84 w=35 wt=400 cs=255 pf=0x31 face=''\n"
       "font #3 h=-84 w=70 wt=400 cs=255 pf=0x31 face=''\n"
       "font #4 h=-84 w=120 wt=400 cs=255 pf=0x31 face=''\n"
       "font #5 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FontLines(Run(c.bytes)), c.fonts) << ::testing::PrintToString(c.bytes);
  }
}

TEST_F(Interpreter, IncompleteAndUnknownEscapeSequences) {
  const char* const newFont =
      "font #2 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''\n"
      "select #2\n"
      "delete #1\n";
  const std::string unknownThenOne = std::string(newFont) + "text '1' at 230,253-290,337\n";
  const Case cases[] = {
      {"ESC as the last byte", "A\x1b", "text 'A' at 230,253-290,337\n"},
      {"ESC 3 without its argument",
       "\x1b"
       "3",
       ""},
      {"ESC W without its argument", "\x1bW", ""},
      {"ESC p without its argument", "\x1bp", ""},
      {"unknown command: its parameter is data", "\x1b-1", unknownThenOne.c_str()},
      {"bit image: its parameters are data", "\x1b*1", unknownThenOne.c_str()},
  };
  ExpectTranscripts(cases);
}

TEST_F(Interpreter, WithoutDeviceNothingMoves) {
  EXPECT_EQ(Run("AB\r\nCD\x0e\f\r\nE", "Nowhere"),
            "font #2 h=0 w=0 wt=400 cs=255 pf=0x31 face=''\n"
            "delete #1\n"
            "font #3 h=0 w=0 wt=400 cs=255 pf=0x31 face=''\n"
            "delete #2\n");
  EXPECT_EQ(job.X, 0);
  EXPECT_EQ(job.Y, 0);
}

TEST_F(Interpreter, PositionsSaturateInsteadOfOverflowing) {
  Run(std::string(40, 'X') +
          "\x1b"
          "3\xff" +
          std::string(10, '\n'),
      "Huge");
  EXPECT_EQ(job.X, kMax);
  EXPECT_EQ(job.Y, kMax);
}

TEST_F(Interpreter, ReadPositionOutsideTheDataEndsIt) {
  Start("AB");
  std::int32_t position = -5;
  InterpretByte(job, position, *printers);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(printers->Transcript(), "");
}

}  // namespace
}  // namespace quillmark
