#include "emulation/basic/interpreter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "emulation/printer_document.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using namespace std::string_view_literals;

// A transcript on one line: "A@230,253" per character, "[height width weight pitchAndFamily]" for each
// font that differs from the one before, and "|" per page break.
std::string Brief(const std::string& transcript) {
  static const std::regex item(
      "text '(.)' at (\\d+,\\d+)|font #\\d+ h=(\\S+) w=(\\S+) wt=(\\S+) cs=\\d+ pf=0x(\\S+)|page end");
  std::string out, last = "[-84 60 400 31]";  // the font every document starts with at 600 dpi
  for (std::sregex_iterator i(transcript.begin(), transcript.end(), item), end; i != end; ++i) {
    const std::smatch& m = *i;
    if (m[1].matched) out += " " + m.str(1) + "@" + m.str(2);
    if (m.str(0) == "page end") out += " |";
    if (!m[3].matched) continue;
    const std::string font = "[" + m.str(3) + " " + m.str(4) + " " + m.str(5) + " " + m.str(6) + "]";
    if (font != last) out += " " + font;
    last = font;
  }
  return out.empty() ? out : out.substr(1);
}

// Run interprets `bytes` after the start of a document, as the print worker does, and returns what the device
// saw in brief. 600 dpi, no offsets and the default borders: lines start at (230, 253) with 60 x 84 dot
// cells.
class Interpreter : public ::testing::Test {
 protected:
  std::string Run(std::string_view bytes) {
    printout.reset();  // releases the previous device
    take = PrintJob();
    printers.AddPrinter("");  // the printer a job names by default
    take.Settings.BorderLeft = 9.75f;
    take.Settings.BorderTop = 10.7f;
    take.DataLength = static_cast<std::int32_t>(bytes.size());
    take.Data = SpoolData(new std::uint8_t[bytes.size()]);
    std::memcpy(take.Data.get(), bytes.data(), bytes.size());
    Printout& job = printout.emplace(take);
    OpenPrinterDevice(job, printers, log);
    StartDocument(job, printers);
    printers.ClearTranscript();
    for (std::int32_t position = 0; position < job.DataLength;) InterpretByte(job, position, printers);
    return Brief(printers.Transcript());
  }

  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingPrintSystem printers;
  PrintJob take;
  std::optional<Printout> printout;  // after the print system: its device must go first
};

TEST_F(Interpreter, Transcripts) {
  const struct {
    std::string_view bytes;
    const char* brief;
  } cases[] = {
      {"AB\r\nC\nD", "A@230,253 B@290,253 C@230,353 D@290,453"},
      {"A\0\a\b\t\v\021\023\026\032\034\037B\177\200\344\377"sv,  // ignored controls; 127-255 are characters
       "A@230,253 B@290,253 \177@350,253 \200@410,253 \344@470,253 \377@530,253"},
      // A form feed needs two more bytes. It goes back to the origin, ends condensed and the line's double
      // width, and keeps bold, ESC W, ESC w and the spacing.
      {"A\f", "A@230,253"},
      {"A\f\032", "A@230,253"},
      {"AB\nC\fDE", "A@230,253 B@290,253 C@350,353 | D@230,253 E@290,253"},
      {"\033E\033W1\033w1\017\016\0330A\fB\nC",
       "[-84 60 700 31] [-84 120 700 31] [-168 120 700 31] [-168 70 700 31] [-168 140 700 31] A@230,253 | "
       "[-168 120 700 31] B@230,253 C@350,328"},
      // SO lasts until the line feed, ESC W across lines.
      {"\016AB\rCD\nEF\033W1G\r\nH",
       "[-84 120 400 31] A@230,253 B@350,253 C@230,253 D@350,253 [-84 60 400 31] E@470,353 F@530,353 "
       "[-84 120 400 31] G@590,353 H@230,453"},
      // ESC W and ESC w take 1 or "1" and 0 or "0"; 2 changes nothing.
      {"\033W1\033W\002A\033W0\033W\002B\033W\001\033W\0C"sv,
       "[-84 120 400 31] A@230,253 [-84 60 400 31] B@350,253 [-84 120 400 31] [-84 60 400 31] C@410,253"},
      {"\033w1\033w\002A\033w0\033w\002B\033w\001\033w\0C"sv,
       "[-168 60 400 31] A@230,253 [-84 60 400 31] B@290,253 [-168 60 400 31] [-84 60 400 31] C@350,253"},
      // Weights, pitches and proportional spacing, which halves the condensed width; ESC p takes "1" and
      // "0" like 1 and 0, and any other value is proportional without halving.
      {"\033M\033G\033E\033H\033g\033\017\033p1\033P\033F",
       "[-84 50 400 31] [-84 50 500 31] [-84 50 700 31] [-84 40 700 31] [-84 20 700 32] [-84 17 700 32] "
       "[-84 17 400 32]"},
      // Bold outweighs double strike; a space is a character.
      {"\033G\033E \033F", "[-84 60 500 31] [-84 60 700 31]  @230,253 [-84 60 500 31]"},
      {"\033p1\017\033p0\033p\002\033p\0\033p\001"sv,
       "[-84 60 400 32] [-84 17 400 32] [-84 35 400 31] [-84 35 400 32] [-84 35 400 31] [-84 17 400 32]"},
      {"\017\016\022\024\033W1\016",
       "[-84 35 400 31] [-84 70 400 31] [-84 120 400 31] [-84 60 400 31] [-84 120 400 31] [-84 240 400 31]"},
      // Line spacing in 1/360, 1/60, 1/6 and 1/180 inch; 255/180 inch is 849.99998 dots.
      {"\033+ZA\n\033A\014B\n\0332C\n\0333\036D\n\0333\0E\n\0333\377F\nG"sv,
       "A@230,253 B@290,403 C@350,523 D@410,623 E@470,723 F@530,723 G@590,1573"},
      // Cut off at the end: nothing happens. An unknown command takes no argument.
      {"A\033", "A@230,253"},
      {"\0333", ""},
      {"\033-1", "1@230,253"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.bytes), c.brief) << ::testing::PrintToString(c.bytes);
}

}  // namespace
}  // namespace quillmark
