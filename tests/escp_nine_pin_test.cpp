// The Epson 9-pin ESC/P printer (FX/LX class): the ESC/P 2 command table with the 9-pin rows.

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <string_view>

#include "emulation/printer_document.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// Prints `bytes` on the 9-pin printer at 600 dpi on A4, borders 9.75 and 10.7 mm: lines start at (230, 253).
// Returns "text@x,y" per run of text and "image WxH at l,t-r,b" per image; the footer is left out.
std::string Print(std::string_view bytes) {
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("");
  PrintJob take;
  take.Settings.Mode = Emulation::kEscP;
  take.Settings.BorderLeft = 9.75f;
  take.Settings.BorderTop = 10.7f;
  take.Settings.BorderLeftGiven = take.Settings.BorderTopGiven = true;
  take.DataLength = static_cast<std::int32_t>(bytes.size());
  take.Data = SpoolData(new std::uint8_t[bytes.size() + 1]);
  std::memcpy(take.Data.get(), bytes.data(), bytes.size());
  Printout job(take);
  PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  static const std::regex item("utext '(.*)' at (\\d+,\\d+)-|(image \\S+ at \\S+)");
  const std::string transcript = printers.Transcript();
  std::string out;
  for (std::sregex_iterator i(transcript.begin(), transcript.end(), item), end; i != end; ++i) {
    if ((*i)[1].matched && (*i)[1].str().find("Quillmark") == std::string::npos)
      out += (*i)[1].str() + "@" + (*i)[2].str() + " ";
    if ((*i)[3].matched) out += (*i)[3].str() + " ";
  }
  return out.empty() ? out : out.substr(0, out.size() - 1);
}

// From the FX and LX manuals: ESC 3 and ESC J count 1/216 inch, ESC A 1/72 inch, ESC \ 1/120 inch; ESC *
// modes 0-7 print eight dots 1/72 inch apart; what only the 24-pin printers know is consumed, never printed.
TEST(EscpNinePin, CommandsInTheNinePinUnits) {
  using namespace std::string_literals;
  const std::string nul(1, '\0');
  const struct {
    const char* name;
    std::string bytes;
    const char* printed;
  } cases[] = {
      {.name = "ESC 3 36 and ESC A 12 are a sixth of an inch",
       .bytes = "\x1b" "3\x24" "A\nB\x1b" "A\x0c\nC",
       .printed = "A@230,253 B@230,353 C@230,453"},
      {.name = "nine lines of ESC 3 24 are one inch, without drift",
       .bytes = "\x1b" "3\x18" "A\n\n\n\n\n\n\n\n\nB",
       .printed = "A@230,253 B@230,853"},
      {.name = "ESC J 216 down an inch, ESC j 108 up half of one, neither returns",
       .bytes = "A\x1bJ\xd8" "B\x1bj\x6c" "C",
       .printed = "A@230,253 B@290,853 C@350,553"},
      {.name = "ESC \\ in 1/120 inch in draft and NLQ alike",
       .bytes = "\x1b\\\x78" + nul + "A\x1bx1\x1b\\\x78" + nul + "B",
       .printed = "A@830,253 B@1490,253"},
      {.name = "ESC + and ESC ( commands are consumed; the line spacing stays",
       .bytes = "\x1b+\x48" "A\x1b(U\x01" + nul + "\x0a\x1b(V\x02" + nul + "\x68\x01\nB",
       .printed = "A@230,253 B@230,353"},
      {.name = "ESC c, ESC X, ESC g, ESC q are consumed",
       .bytes = "\x1b" "c\x10\x10\x1bX\x01\x10\x10\x1bg\x1bq\x01" "AB",
       .printed = "AB@230,253"},
      {.name = "downloaded 9-pin characters are consumed; the ROM ones print",
       .bytes = "\x1b&" + nul + "AA\x8b" + std::string(11, '\x7f') + "\x1b%1A",
       .printed = "A@230,253"},
      {.name = "ESC * 5 at 72 and ESC K at 60 columns per inch, 8/72 inch high",
       .bytes = "\x1b*\x05\x03" + nul + "\xff\xff\xff\x1bK\x02" + nul + "\x81\x81" + "A",
       .printed = "image 3x8 at 230,253-255,320 image 2x8 at 255,253-275,320 A@275,253"},
      {.name = "ESC * 32, a 24-pin density, is consumed and prints nothing",
       .bytes = "\x1b*\x20\x02" + nul + "\xff\xff\xff\xff\xff\xff" + "A",
       .printed = "A@230,253"},
  };
  for (const auto& c : cases) EXPECT_EQ(Print(c.bytes), c.printed) << c.name;
}

}  // namespace
}  // namespace quillmark
