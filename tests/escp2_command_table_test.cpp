// Every command of the ESC/P 2 printer, row by row as the Epson ESC/P Reference Manual describes it, with
// what a page shows afterwards. Positions are dots at 600 dpi from the top-of-form and the left edge of the
// printable line, so that the default page geometry does not enter: 1/10 inch = 60, 1/6 inch = 100.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/printer_document.h"
#include "support/escape_bytes.h"
#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using testing::Bytes;
using testing::Esc;
using testing::EscParen;
using testing::Fill;
using testing::W;

struct Setup {
  bool ninePin = false;  // Emulation = ESC/P, the 9-pin printer
  std::int32_t codePage = 437;
  std::int32_t dpi = 600;
  std::int32_t module = 0;  // dots per bar-code module: rows of fills read as bar widths in modules
  const char* font = "[-88 60 400 Roman]";  // the font a page starts with
};

// "AB@x,y" per run of text; "[height width weight face prop italic]" when the font differs from the one
// before (the first is Setup::font); "fill l,t-r,b"; "image WxH@l,t-r,b: dots" with the set dots
// ("x,y ...", or their count past four); "bars RUNS@l,t-r,b" for a row of fills (POSTNET: 1 tall, 0 short);
// "colour 0xBBGGRR"; "|" between pages.
class Page {
 public:
  Page(std::int32_t originX, std::int32_t originY, const Setup& setup)
      : x0_(originX), y0_(originY), module_(setup.module), last_(setup.font) {}

  std::string Read(const std::string& transcript, const std::vector<BitImage>& images) {
    static const std::regex font("font #(\\d+) h=(\\S+) w=(\\S+) wt=(\\S+) cs=\\d+ pf=0x(\\S+) face='(.*)'( italic)?");
    static const std::regex corners("(-?\\d+),(-?\\d+)-(-?\\d+),(-?\\d+)");
    std::istringstream lines(transcript);
    std::size_t image = 0;
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      const bool hasCorners = std::regex_search(line, m, corners);
      const int l = hasCorners ? std::stoi(m[1]) - x0_ : 0, t = hasCorners ? std::stoi(m[2]) - y0_ : 0;
      const int r = hasCorners ? std::stoi(m[3]) - x0_ : 0, b = hasCorners ? std::stoi(m[4]) - y0_ : 0;
      const std::string box = Num(l) + "," + Num(t) + "-" + Num(r) + "," + Num(b);
      if (line.starts_with("fill ") && module_ > 0) {
        bars_.push_back({l, t, r, b});
        continue;
      }
      EndBars();
      if (std::regex_match(line, m, font)) {
        fonts_[m.str(1)] = "[" + m.str(2) + " " + m.str(3) + " " + m.str(4) + " " + m.str(6) +
                           (m.str(5) == "32" ? " prop" : "") + (m[7].matched ? " italic" : "") + "]";
      } else if (line.starts_with("select #")) {
        const auto f = fonts_.find(line.substr(8));
        if (f != fonts_.end() && f->second != last_) Add(last_ = f->second);
      } else if (line.starts_with("utext '")) {
        Add(line.substr(7, line.rfind("' at ") - 7) + "@" + Num(l) + "," + Num(t));
      } else if (line.starts_with("fill ")) {
        Add("fill " + box);
      } else if (line.starts_with("image ") && image < images.size()) {
        Add(line.substr(0, line.find(" at ")) + "@" + box + ":" + Dots(images[image++]));
      } else if (line.starts_with("text color 0x")) {
        Add("colour " + line.substr(11));
      } else if (line == "page end") {
        Add("|");
      }
    }
    EndBars();
    if (out_.ends_with(" |")) out_.resize(out_.size() - 2);  // the page the test's end closes
    return out_;
  }

 private:
  static std::string Num(int n) { return std::to_string(n); }
  static std::string Dots(const BitImage& image) {
    std::vector<std::string> set;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        if (image.bits[static_cast<std::size_t>(y * image.BytesPerRow() + x / 8)] & (0x80 >> (x % 8)))
          set.push_back(" " + Num(x) + "," + Num(y));
      }
    }
    if (set.size() > 4) return " " + Num(static_cast<int>(set.size()));
    std::string out;
    for (const std::string& s : set) out += s;
    return out;
  }
  void Add(const std::string& item) { out_ += (out_.empty() ? "" : " ") + item; }
  void EndBars() {
    if (bars_.empty()) return;
    std::string runs;
    const auto [low, high] = std::minmax_element(bars_.begin(), bars_.end(), [](auto& a, auto& b) { return a[1] < b[1]; });
    for (std::size_t i = 0; i < bars_.size(); ++i) {
      if (low->at(1) != high->at(1)) {
        runs += bars_[i][1] == low->at(1) ? '1' : '0';
        continue;
      }
      if (i > 0) runs += Num((bars_[i][0] - bars_[i - 1][2]) / module_);
      runs += Num((bars_[i][2] - bars_[i][0]) / module_);
    }
    Add("bars " + runs + "@" + Num(bars_.front()[0]) + "," + Num(low->at(1)) + "-" + Num(bars_.back()[2]) + "," +
        Num(bars_.back()[3]));
    bars_.clear();
  }

  int x0_, y0_, module_;
  std::map<std::string, std::string> fonts_;
  std::string last_;
  std::vector<std::array<int, 4>> bars_;
  std::string out_;
};

// Prints `bytes` on A4 paper with explicit borders, so that the origin is known whatever the defaults.
std::string Print(const std::string& bytes, Setup setup = {}) {
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("", {.dpiX = setup.dpi, .dpiY = setup.dpi});
  PrintJob take;
  take.Settings.Mode = setup.ninePin ? Emulation::kEscP : Emulation::kEscP2;
  take.Settings.CodePage = setup.codePage;
  take.Settings.PaperWidth = 210.0f;
  take.Settings.PaperHeight = 297.0f;
  take.Settings.BorderLeft = 10.0f;
  take.Settings.BorderTop = 10.0f;
  take.Settings.BorderLeftGiven = take.Settings.BorderTopGiven = true;
  take.DataLength = static_cast<std::int32_t>(bytes.size());
  take.Data = SpoolData(new std::uint8_t[bytes.size() + 1]);
  std::memcpy(take.Data.get(), bytes.data(), bytes.size());
  Printout job(take);
  OpenPrinterDevice(job, printers, log);
  StartDocument(job, printers);
  printers.ClearTranscript();
  RunEscp2(job, printers);
  return Page(job.OriginX, job.OriginY, setup).Read(printers.Transcript(), printers.Images());
}

// The bytes as the manual writes them, for a failure message: "ESC $ 60 0 A".
std::string Readable(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, byte == 27 ? " ESC" : (byte > 32 && byte < 127) ? " %c" : " %u", byte);
    out += buffer;
  }
  return out;
}

struct Row {
  std::string send;
  std::string prints;
  Setup setup = {};
};

void Check(const std::vector<Row>& rows) {
  for (const Row& row : rows) EXPECT_EQ(Print(row.send, row.setup), row.prints) << Readable(row.send);
}

std::vector<Row> VerticalMotion() {
  return {
      {.send = "A\nB", .prints = "A@0,0 B@0,100"},
      {.send = "AB\r\nC\rD", .prints = "AB@0,0 C@0,100 D@0,100"},
      // BS; CAN drops the line, a box character's rule too; DEL takes back the character before it.
      {.send = "AB\bC\rX\xc4Y\x18Z\rQR\x7fS", .prints = "AB@0,0 C@60,0 Z@0,0 QS@0,0"},
      {.send = Esc('0') + "A\nB", .prints = "A@0,0 B@0,75"},
      {.send = Esc('1') + "A\nB", .prints = "A@0,0 B@0,58"},
      {.send = Esc('0') + Esc('2') + "A\nB", .prints = "A@0,0 B@0,100"},
      {.send = Esc('3', 90) + "A\nB", .prints = "A@0,0 B@0,300"},
      {.send = Esc('A', 30) + "A\nB", .prints = "A@0,0 B@0,300"},
      {.send = Esc('+', 90) + "A\nB", .prints = "A@0,0 B@0,150"},
      // 36 feeds of 1/360 inch are a tenth of an inch: no rounding per line.
      {.send = Esc('+', 1) + "A" + std::string(36, '\n') + "B", .prints = "A@0,0 B@0,60"},
      {.send = "A" + Esc('J', 90) + "B", .prints = "A@0,0 B@60,300"},
      {.send = "A" + Esc('J', 180) + Esc('j', 90) + "B", .prints = "A@0,0 B@60,300"},
      {.send = EscParen('V', W{360}) + "A", .prints = "A@0,600"},
      {.send = EscParen('U', 5) + EscParen('V', W{720}) + "A", .prints = "A@0,600"},
      {.send = EscParen('U', 20, 10, 10, W{3600}) + EscParen('V', W{360}) + "A", .prints = "A@0,600"},
      {.send = EscParen('c', W{360}, W{3600}) + EscParen('V', W{180}) + "A", .prints = "A@0,900"},
      {.send = "A" + EscParen('v', W{180}) + "B", .prints = "A@0,0 B@60,300"},
      {.send = "A" + EscParen('v', W{360}) + EscParen('v', W{-180}) + "B", .prints = "A@0,0 B@60,300"},
      {.send = EscParen('U', 5) + "A" + EscParen('v', W{360}) + "B", .prints = "A@0,0 B@60,300"},
      // VT to the tabs of ESC B, set in lines of the spacing in force then.
      {.send = Esc('B', 2, 5, 0) + "A\vB\vC", .prints = "A@0,0 B@0,200 C@0,500"},
      {.send = Esc('B', 2, 0) + Esc('3', 180) + "A\vB", .prints = "A@0,0 B@0,200"},
      {.send = Esc('B', 0) + "AB\vC", .prints = "AB@0,0 C@0,0"},
      {.send = Esc('B', 1, 0) + "A\vB\vC", .prints = "A@0,0 B@0,100 | C@0,0"},
      {.send = Esc('/', 1) + Esc('b', 1, 4, 0) + "A\vB", .prints = "A@0,0 B@0,100"},
  };
}

std::vector<Row> PageFormat() {
  const std::string inch = Esc('3', 180);  // one-inch lines
  return {
      {.send = "A\fB", .prints = "A@0,0 | B@0,0"},
      {.send = "A\f\fB\f\r\n", .prints = "A@0,0 | | B@0,0"},
      // A form longer than the 287 mm below the top border is printed smaller to fit: 12 inches at 94%.
      {.send = Esc('C', 72) + "A\nB", .prints = "A@0,0 B@0,94"},
      {.send = inch + Esc('C', 2) + "A\nB\nC", .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + Esc('C', 0, 2) + "A\nB\nC", .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + Esc('C', 2) + Esc('2') + "A" + std::string(12, '\n') + "B", .prints = "A@0,0 | B@0,0"},
      {.send = inch + EscParen('C', W{720}) + "A\nB\nC", .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + EscParen('C', W{720}, W{0}) + "A\nB\nC", .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + EscParen('U', 20, 10, 10, W{3600}) + EscParen('C', W{360}) + "A\nB\nC",
       .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + Esc('C', 3) + Esc('N', 1) + "A\nB\nC", .prints = "A@0,0 B@0,600 | C@0,0"},
      {.send = inch + Esc('C', 3) + Esc('N', 1) + Esc('O') + "A\nB\nC", .prints = "A@0,0 B@0,600 C@0,1200"},
      {.send = inch + Esc('C', 3) + Esc('N', 1) + Esc('C', 3) + "A\nB\nC", .prints = "A@0,0 B@0,600 C@0,1200"},
      // Sent below the top of the form, ESC C and ESC ( C make the current line the top of form.
      {.send = inch + "A\n" + Esc('C', 2) + "B\nC\nD", .prints = "A@0,0 B@0,600 C@0,1200 | D@0,0"},
      {.send = inch + "A\n" + EscParen('C', W{720}) + "B\nC\nD", .prints = "A@0,0 B@0,600 C@0,1200 | D@0,0"},
      {.send = inch + EscParen('c', W{360}, W{1080}) + "A\nB\nC", .prints = "A@0,600 B@0,1200 | C@0,600"},
      {.send = EscParen('c', W{360}, W{1080}) + "A\fB", .prints = "A@0,600 | B@0,600"},
      {.send = inch + EscParen('U', 5) + EscParen('c', W{720}, W{2160}) + "A\nB\nC",
       .prints = "A@0,600 B@0,1200 | C@0,600"},
  };
}

std::vector<Row> HorizontalMotion() {
  return {
      {.send = "A\tB", .prints = "A@0,0 B@480,0"},
      {.send = Esc('D', 3, 10, 0) + "\tA\tB", .prints = "A@180,0 B@600,0"},
      {.send = Esc('M') + Esc('D', 6, 0) + Esc('P') + "\tA", .prints = "A@300,0"},
      {.send = Esc('l', 2) + Esc('D', 3, 0) + "\tA\tB", .prints = "A@300,0 B@360,0"},  // from the left margin; past the last tab HT does nothing
      {.send = "\bA" + Esc('l', 5) + Esc('Q', 3) + "B", .prints = "A@0,0 B@300,0"},  // BS at the margin, a right margin left of the left one
      {.send = Esc('$', W{60}) + "A", .prints = "A@600,0"},
      {.send = Esc('l', 10) + Esc('$', W{60}) + "A", .prints = "A@1200,0"},
      {.send = EscParen('U', 5) + Esc('$', W{720}) + "A", .prints = "A@600,0"},
      {.send = "A" + Esc('\\', W{180}) + "B", .prints = "A@0,0 B@660,0"},
      {.send = Esc('x', 0) + "A" + Esc('\\', W{120}) + "B", .prints = "[-88 60 400 Sans Serif] A@0,0 B@660,0"},
      {.send = "ABCD" + Esc('\\', W{-36}) + "X", .prints = "ABCD@0,0 X@120,0"},
      {.send = EscParen('U', 10) + "A" + Esc('\\', W{360}) + "B", .prints = "A@0,0 B@660,0"},
      {.send = Esc('l', 5) + "A\rB", .prints = "A@300,0 B@300,0"},
      {.send = Esc('M') + Esc('l', 6) + "A", .prints = "[-88 50 400 Roman] A@300,0"},
      {.send = Esc('Q', 3) + "ABC  D", .prints = "ABC@0,0 D@0,100"},  // spaces past the edge are dropped
      {.send = Esc('l', 2) + Esc('Q', 4) + "ABCD", .prints = "AB@120,0 CD@120,100"},
      {.send = Esc('a', 1) + "A", .prints = "A@0,0"},
  };
}

std::vector<Row> CharacterModes() {
  return {
      {.send = Esc('E') + "A" + Esc('F') + "B", .prints = "[-88 60 700 Roman] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('G') + "A" + Esc('H') + "B", .prints = "[-88 60 500 Roman] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('4') + "A" + Esc('5') + "B", .prints = "[-88 60 400 Roman italic] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('M') + "AB" + Esc('g') + "C" + Esc('P') + "D", .prints = "[-88 50 400 Roman] AB@0,0 [-88 40 400 Roman] C@100,0 [-88 60 400 Roman] D@140,0"},
      {.send = Esc(15) + "AB" + "\x12" + "C", .prints = "[-88 35 400 Roman] AB@0,0 [-88 60 400 Roman] C@70,0"},
      {.send = Esc(15) + "A\fB", .prints = "[-88 35 400 Roman] A@0,0 | B@0,0"},
      {.send = "\xc4\xdb", .prints = "fill 0,47-60,53 fill 60,0-120,100"},
      {.send = Esc('M') + "\x0f" + "AB", .prints = "[-88 30 400 Roman] AB@0,0"},
      {.send = Esc(14) + "A\nB", .prints = "[-88 120 400 Roman] A@0,0 [-88 60 400 Roman] B@0,100"},
      {.send = "\x0e" "A\x14" "B", .prints = "[-88 120 400 Roman] A@0,0 [-88 60 400 Roman] B@120,0"},
      {.send = Esc('W', 1) + "A\nB" + Esc('W', '0') + "C", .prints = "[-88 120 400 Roman] A@0,0 B@0,100 [-88 60 400 Roman] C@120,100"},
      {.send = Esc('w', '1') + "A" + Esc('w', 0) + "B", .prints = "[-175 60 400 Roman] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('!', 1 + 8) + "A" + Esc('!', 4 + 64) + "B", .prints = "[-88 50 700 Roman] A@0,0 [-88 35 400 Roman italic] B@50,0"},
      {.send = Esc('!', 32 + 2) + "A" + Esc('!', 0) + "B", .prints = "[-88 120 400 Roman prop] A@0,0 [-88 60 400 Roman] B@120,0"},
      {.send = Esc('!', 128) + "AB" + Esc('!', 0) + "C", .prints = "AB@0,0 C@120,0 fill 0,79-120,82"},
      {.send = Esc('-', 1) + "AB" + Esc('-', '0') + "C", .prints = "AB@0,0 C@120,0 fill 0,79-120,82"},
      {.send = EscParen('-', 1, 2, 1) + "A" + EscParen('-', 1, 2, 0) + "B", .prints = "A@0,0 B@60,0 fill 0,35-60,38"},
      {.send = EscParen('-', 1, 3, 2) + "A", .prints = "A@0,0 fill 0,0-60,3 fill 0,6-60,9"},
      {.send = Esc('S', 0) + "A" + Esc('T') + "B", .prints = "[-58 40 400 Roman] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('S', '1') + "A", .prints = "[-58 40 400 Roman] A@0,29"},
      {.send = Esc('p', 1) + "A" + Esc('p', 0) + "B", .prints = "[-88 60 400 Roman prop] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('k', 1) + "A" + Esc('k', 0) + "B", .prints = "[-88 60 400 Sans Serif] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('x', 0) + "A" + Esc('x', 1) + "B", .prints = "[-88 60 400 Sans Serif] A@0,0 [-88 60 400 Roman] B@60,0"},
      {.send = Esc('q', 1) + "A", .prints = "[-88 60 700 Roman] A@0,0"},
      {.send = Esc(' ', 12) + "AB", .prints = "A@0,0 B@100,0"},
      {.send = Esc('x', 0) + Esc(' ', 12) + "AB", .prints = "[-88 60 400 Sans Serif] A@0,0 B@120,0"},
      {.send = Esc('c', W{72}) + "AB", .prints = "A@0,0 B@120,0"},
      {.send = Esc('X', 30, W{0}) + "AB", .prints = "A@0,0 B@50,0"},
      {.send = Esc('X', 0, W{24}) + "A", .prints = "[-100 60 400 Roman] A@0,0"},
      {.send = Esc('X', 1, W{0}) + "A", .prints = "[-88 60 400 Roman prop] A@0,0"},
      {.send = Esc('E') + "A\n" + Esc('@') + "B", .prints = "[-88 60 700 Roman] A@0,0 [-88 60 400 Roman] B@0,100"},
      {.send = Esc('l', 5) + Esc('3', 180) + "A\n" + Esc('@') + "B\nC", .prints = "A@300,0 B@0,600 C@0,700"},
      {.send = Esc(25, 'R') + Esc('8') + Esc('9') + Esc('<') + Esc('U', 1) + Esc('s', 1) + Esc('i', 1) + Esc('m', 4) + "A", .prints = "A@0,0"},
      {.send = Esc('e', 0, 5) + Esc('f', 0, 5) + Esc('I', 1) + "A", .prints = "A@0,0"},
      // Read and left out, DC3 holding nothing back: ESC ( i, ESC ( G, an ESC ( the printer lacks, DC1, DC3.
      {.send = EscParen('i', 1) + EscParen('G', 1) + EscParen('z', 7, 8) + "A\x13" "B\x11" "C", .prints = "ABC@0,0"},
  };
}

// The characters at the twelve positions a national set replaces: # $ @ [ \ ] ^ ` { | } ~.
std::vector<Row> NationalSets() {
  const std::string positions = "#$@[\\]^`{|}~";
  const char* sets[] = {"#$@[\\]^`{|}~", "#$à°ç§^`éùè¨", "#$§ÄÖÜ^`äöüß", "£$@[\\]^`{|}~", "#$@ÆØÅ^`æøå~",
                        "#¤ÉÄÖÅÜéäöåü", "#$@°\\é^ùàòèì", "₧$@¡Ñ¿^`¨ñ}~", "#$@[¥]^`{|}~", "#¤ÉÆØÅÜéæøåü",
                        "#$ÉÆØÅÜéæøåü", "#$á¡Ñ¿é`íñóú", "#$á¡Ñ¿éüíñóú", "#$@[₩]^`{|}~"};
  std::vector<Row> rows;
  for (int n = 0; n <= 13; ++n) rows.push_back({.send = Esc('R', n) + positions, .prints = sets[n] + std::string("@0,0")});
  rows.push_back({.send = Esc('R', 64) + positions, .prints = "#$§°'\"¶`©®†™@0,0"});
  rows.push_back({.send = Esc('R', 2) + "@" + Esc('R', 99) + "@" + Esc('@') + "@", .prints = "§§@0,0 @@0,0"});
  return rows;
}

std::vector<Row> CharacterTables() {
  return {
      // The upper halves where a page differs from its neighbour (437, and 850 for 852, 857 and 858).
      {.send = "\x9b\x9d\x9e\xa9\xd0\xe7", .prints = "øØ×®ðþ@0,0", .setup = {.codePage = 850}},
      {.send = "\x85\x88\x8a\x9d\xa5\xd8", .prints = "ůłŐŁąě@0,0", .setup = {.codePage = 852}},
      {.send = "\x8d\x98\x9e\x9f\xa6\xa7", .prints = "ıİŞşĞğ@0,0", .setup = {.codePage = 857}},
      {.send = "\xd5\xd4", .prints = "€È@0,0", .setup = {.codePage = 858}},
      {.send = "\x84\x86\x8c\x94\x99\x9f", .prints = "ãÁÔõÕÓ@0,0", .setup = {.codePage = 860}},
      {.send = "\x84\x86\x8f\x98\xa4\xad", .prints = "Â¶§¤¨¾@0,0", .setup = {.codePage = 863}},
      {.send = "\x9b\x9d\xaf\x9c", .prints = "øØ¤£@0,0", .setup = {.codePage = 865}},
      {.send = "\x80\x9f\xa0\xef\xf0\xfc", .prints = "АЯаяЁ№@0,0", .setup = {.codePage = 866}},
      {.send = "\x80\x87\x9b\xa8\x91\x9e", .prints = "ČčŠšžŘ@0,0", .setup = {.codePage = 895}},
      {.send = "\x9b\x9d\xe1", .prints = "¢¥ß@0,0"},
      // ESC t: table 0 italic (its upper half the lower in italics), 1 and 3 PC437 at power-on.
      {.send = Esc('t', 0) + "\xc1" + Esc('t', '1') + "\xc1", .prints = "[-88 60 400 Roman italic] A@0,0 fill 60,47-120,53 fill 87,0-93,53"},
      {.send = Esc('t', 3) + "\x9b", .prints = "¢@0,0"},
      // ESC ( t assigns a table to a slot: d2 3 PC850, 7 PC860, 8 PC863, 9 PC865, 10 PC852, 11 PC857, 14 PC866.
      {.send = EscParen('t', 3, 3, 0) + Esc('t', 3) + "\x9b", .prints = "ø@0,0"},
      {.send = EscParen('t', '1', 7, 0) + "\x84", .prints = "ã@0,0"},
      {.send = EscParen('t', 1, 8, 0) + "\x86", .prints = "¶@0,0"},
      {.send = EscParen('t', 1, 9, 0) + "\xaf", .prints = "¤@0,0"},
      {.send = EscParen('t', 1, 10, 0) + "\x88", .prints = "ł@0,0"},
      {.send = EscParen('t', 1, 11, 0) + "\xa6", .prints = "Ğ@0,0"},
      {.send = EscParen('t', 1, 14, 0) + "\x80", .prints = "А@0,0"},
      {.send = EscParen('t', 1, 14, 0) + EscParen('t', 1, 99, 0) + "\x80", .prints = "А@0,0"},
      {.send = EscParen('t', 0, 1, 0) + Esc('t', 0) + "\x9b", .prints = "¢@0,0"},
      // MSB control: ESC = clears bit 7, ESC > sets it, ESC # ends both.
      {.send = Esc('=') + "\xc1" + Esc('#') + "\xe1", .prints = "Aß@0,0"},
      {.send = Esc('>') + "a" + Esc('#') + "a", .prints = "ßa@0,0"},
      // ESC @ ends it too; parameters and image data keep bit 7 (ESC $ 180 is three inches).
      {.send = Esc('>') + "a\n" + Esc('@') + "a" + Esc('=') + Esc('$', W{180}) + "\xc1" + Esc('K', W{1}) + Bytes(0x81), .prints = "ß@0,0 a@0,100 A@1800,100 image 1x8@1860,100-1870,180: 0,0 0,7"},
      {.send = Esc('=') + "A\x8a" "B" + Esc('>') + "a\nb", .prints = "A@0,0 Bß@0,100 Γ@0,200"},
      // ESC 6 / ESC 7: 128-159 of the italic table print or act as control codes (0x8D a carriage return).
      {.send = Esc('t', 0) + "AB\x8d" "C", .prints = "AB@0,0 C@0,0"},
      {.send = Esc('t', 0) + Esc('6') + "AB\x8d" + Esc('7') + "\x8d" "C", .prints = "AB@0,0 [-88 60 400 Roman italic]  @120,0 [-88 60 400 Roman] C@0,0"},
      // ESC ( ^ prints every byte of its data as a character.
      {.send = EscParen('^', 'A', 13, 'B') + "C", .prints = "ABC@0,0"},
  };
}

// A downloaded character of 36 columns (a tenth of an inch) with a dot at its top left and bottom right.
std::string Downloaded(char code) {
  return Esc('&', 0, code, code, 0, 36, 0) + Bytes(0x80, 0, 0) + Fill(34 * 3, 0) + Bytes(0, 0, 1);
}

std::vector<Row> DownloadedCharacters() {
  return {
      {.send = Downloaded('A') + Esc('%', 1) + "AB" + Esc('%', '0') + "A", .prints = "image 36x24@0,12-60,92: 0,0 35,23 A@60,0"},
      {.send = Downloaded('A') + Esc('%', 1) + Esc('@') + "A", .prints = "A@0,0"},
      {.send = Esc(':', 0, 0, 0) + Esc('%', 1) + "A", .prints = "A@0,0"},
      {.send = Esc(':', 0, 0, 0) + Downloaded('B') + Esc('%', 1) + "AB", .prints = "A@0,0 image 36x24@60,12-120,92: 0,0 35,23"},
  };
}

std::vector<Row> BitImagesAtEveryDensity() {
  // Six columns of 8, 24 or 48 dots with the top left and the bottom right dot set, then "X".
  const auto image = [](std::string head, int columns, int bytes) {
    std::string data = Bytes(0x80) + Fill(static_cast<std::size_t>(columns * bytes - 2), 0) + Bytes(1);
    return head + data + "X";
  };
  return {
      {.send = image(Esc('*', 0, W{6}), 6, 1), .prints = "image 6x8@0,0-60,80: 0,0 5,7 X@60,0"},
      {.send = image(Esc('*', 1, W{12}), 12, 1), .prints = "image 12x8@0,0-60,80: 0,0 11,7 X@60,0"},
      {.send = image(Esc('*', 2, W{12}), 12, 1), .prints = "image 12x8@0,0-60,80: 0,0 11,7 X@60,0"},
      {.send = image(Esc('*', 3, W{24}), 24, 1), .prints = "image 24x8@0,0-60,80: 0,0 23,7 X@60,0"},
      {.send = image(Esc('*', 4, W{8}), 8, 1), .prints = "image 8x8@0,0-60,80: 0,0 7,7 X@60,0"},
      {.send = image(Esc('*', 6, W{9}), 9, 1), .prints = "image 9x8@0,0-60,80: 0,0 8,7 X@60,0"},
      {.send = image(Esc('*', 32, W{6}), 6, 3), .prints = "image 6x24@0,0-60,80: 0,0 5,23 X@60,0"},
      {.send = image(Esc('*', 33, W{12}), 12, 3), .prints = "image 12x24@0,0-60,80: 0,0 11,23 X@60,0"},
      {.send = image(Esc('*', 38, W{9}), 9, 3), .prints = "image 9x24@0,0-60,80: 0,0 8,23 X@60,0"},
      {.send = image(Esc('*', 39, W{18}), 18, 3), .prints = "image 18x24@0,0-60,80: 0,0 17,23 X@60,0"},
      {.send = image(Esc('*', 40, W{36}), 36, 3), .prints = "image 36x24@0,0-60,80: 0,0 35,23 X@60,0"},
      {.send = image(Esc('*', 71, W{18}), 18, 6), .prints = "image 18x48@0,0-60,80: 0,0 17,47 X@60,0"},
      {.send = image(Esc('*', 72, W{36}), 36, 6), .prints = "image 36x48@0,0-60,80: 0,0 35,47 X@60,0"},
      {.send = image(Esc('*', 73, W{36}), 36, 6), .prints = "image 36x48@0,0-60,80: 0,0 35,47 X@60,0"},
      {.send = image(Esc('K', W{6}), 6, 1), .prints = "image 6x8@0,0-60,80: 0,0 5,7 X@60,0"},
      {.send = image(Esc('L', W{12}), 12, 1), .prints = "image 12x8@0,0-60,80: 0,0 11,7 X@60,0"},
      {.send = image(Esc('Y', W{12}), 12, 1), .prints = "image 12x8@0,0-60,80: 0,0 11,7 X@60,0"},
      {.send = image(Esc('Z', W{24}), 24, 1), .prints = "image 24x8@0,0-60,80: 0,0 23,7 X@60,0"},
      {.send = image(Esc('?', 'K', 39) + Esc('K', W{18}), 18, 3), .prints = "image 18x24@0,0-60,80: 0,0 17,23 X@60,0"},
      {.send = image(Esc('?', 'Z', 4) + Esc('Z', W{8}), 8, 1), .prints = "image 8x8@0,0-60,80: 0,0 7,7 X@60,0"},
      // ESC ^: 9-dot columns of two bytes, the ninth dot in bit 7 of the second; 60 or 120 per inch.
      {.send = Esc('^', 0, W{6}) + Bytes(0x80, 0) + Fill(8, 0) + Bytes(0, 0x80) + "X", .prints = "image 6x9@0,0-60,75: 0,0 5,8 X@60,0"},
      {.send = Esc('^', 1, W{12}) + Bytes(0x80, 0) + Fill(20, 0) + Bytes(0, 0x80) + "X", .prints = "image 12x9@0,0-60,75: 0,0 11,8 X@60,0"},
      // ESC . c v h m nL nH: raster rows of 1/360 inch, uncompressed and run-length coded.
      {.send = Esc('.', 0, 10, 10, 2, W{36}) + Bytes(0x80) + Fill(8, 0) + Bytes(0x10) + "X", .prints = "image 36x2@0,0-60,3: 0,0 35,1 X@60,0"},
      {.send = Esc('.', 1, 10, 10, 2, W{36}) + Bytes(0, 0x80, 0xFD, 0, 0xFD, 0, 0, 0x10) + "X", .prints = "image 36x2@0,0-60,3: 0,0 35,1 X@60,0"},
      {.send = Esc('.', 0, 20, 20, 1, W{18}) + Bytes(0xFF, 0xFF, 0xC0) + "X", .prints = "image 18x1@0,0-60,3: 18 X@60,0"},
      // ESC r: text and graphics in the ribbon's colours until ESC r 0.
      {.send = Esc('r', 1) + "A" + Esc('r', 2) + "B" + Esc('r', 4) + "C" + Esc('r', 5) + "D" + Esc('r', 6) + "E" + Esc('r', 0),
       .prints = "colour 0xFF00FF A@0,0 colour 0xFFFF00 B@60,0 colour 0x00FFFF C@120,0 colour 0x0000FF D@180,0 colour 0x00FF00 E@240,0 colour 0x000000"},
  };
}

// ESC ( B k m s v1 v2 c data at 360 dpi: a module of m = 2 is 4 dots, bars half an inch (180 dots) long;
// the digits below in the printer's own 10-cpi sans serif. Expected bars: GS1's and USPS's tables.
std::string BarCode(int type, const std::string& data, int flags = 1, int module = 2) {
  return EscParen('B', type, module, 0, W{90}, flags, data);
}

std::vector<Row> BarCodes() {
  const Setup bars{.dpi = 360, .module = 4, .font = "[-52 36 400 Roman]"};
  const std::string digits = " [-52 36 400 Sans Serif] ";
  struct Case {
    int type;
    const char* data;
    std::string runs;
    const char* text;  // the digits below; EAN and UPC as laid out under their bars, font first
  };
  // EAN-13: every parity pattern of the first digit, with the largest sum of the check digit.
  const Case cases[] = {
      {0, "099999999999", "11131123112311231123112311211111311231123112311231121411111", "[-52 18 400 Sans Serif] 0@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 3@345,186"},
      {0, "199999999999", "11131123112211331122113211311111311231123112311231122122111", "[-52 18 400 Sans Serif] 1@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 2@345,186"},
      {0, "299999999999", "11131123112211321133112211311111311231123112311231122221111", "[-52 18 400 Sans Serif] 2@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 1@345,186"},
      {0, "399999999999", "11131123112211321132113311211111311231123112311231123211111", "[-52 18 400 Sans Serif] 3@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 0@345,186"},
      {0, "499999999999", "11131122113311231122113211311111311231123112311231123112111", "[-52 18 400 Sans Serif] 4@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 9@345,186"},
      {0, "599999999999", "11131122113211331123112211311111311231123112311231121213111", "[-52 18 400 Sans Serif] 5@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 8@345,186"},
      {0, "699999999999", "11131122113211321133112311211111311231123112311231121312111", "[-52 18 400 Sans Serif] 6@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 7@345,186"},
      {0, "799999999999", "11131122113311221133112211311111311231123112311231121114111", "[-52 18 400 Sans Serif] 7@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 6@345,186"},
      {0, "899999999999", "11131122113311221132113311211111311231123112311231121231111", "[-52 18 400 Sans Serif] 8@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 5@345,186"},
      {0, "999999999999", "11131122113211331122113311211111311231123112311231121132111", "[-52 18 400 Sans Serif] 9@5,186 9@17,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 4@345,186"},
      {1, "9638507", "1113112111414111213111111231321113121132111", "[-52 18 400 Sans Serif] 9@17,186 6@45,186 3@73,186 8@101,186 5@149,186 0@177,186 7@205,186 4@233,186"},
      {1, "9999999", "1113112311231123112111113112311231121231111", "[-52 18 400 Sans Serif] 9@17,186 9@45,186 9@73,186 9@101,186 9@149,186 9@177,186 9@205,186 5@233,186"},
      {3, "99999999999", "11131123112311231123112311211111311231123112311231121411111", "[-52 18 400 Sans Serif] 9@5,186 9@45,186 9@73,186 9@101,186 9@129,186 9@157,186 9@205,186 9@233,186 9@261,186 9@289,186 9@317,186 3@385,186"},
      // UPC-E: the four ways back to UPC-A (by the last digit) give four check digits and parities.
      {4, "0123450", "111122221221411231113213211111111", "[-52 18 400 Sans Serif] 0@5,186 1@17,186 2@45,186 3@73,186 4@101,186 5@129,186 0@157,186 5@209,186"},
      {4, "0123453", "111122222121411231112311411111111", "[-52 18 400 Sans Serif] 0@5,186 1@17,186 2@45,186 3@73,186 4@101,186 5@129,186 3@157,186 1@209,186"},
      {4, "0123454", "111122222121411113212312311111111", "[-52 18 400 Sans Serif] 0@5,186 1@17,186 2@45,186 3@73,186 4@101,186 5@129,186 4@157,186 3@209,186"},
      {4, "0123456", "111122221221411231113211114111111", "[-52 18 400 Sans Serif] 0@5,186 1@17,186 2@45,186 3@73,186 4@101,186 5@129,186 6@157,186 5@209,186"},
      {4, "1123456", "111222121221141231112314111111111", "[-52 18 400 Sans Serif] 1@5,186 1@17,186 2@45,186 3@73,186 4@101,186 5@129,186 6@157,186 2@209,186"},
      {2, "12345", "1111311311113331311311133111311313311", "123457"},
      {5, "Z-9", "13113131111331311111131111313111331131113311113111131131311", "*Z-9.*"},
      {7, "99999", "11010010100101001010010100010101", "999995"},
  };
  std::vector<Row> rows;
  for (const Case& c : cases) {
    int right = 0;
    for (const char r : c.runs) right += (r - '0') * 4;
    const bool postnet = c.type == 7;  // bars of 7/360 inch, 9/360 apart, 1/8 or 1/20 inch tall
    if (postnet) right = static_cast<int>(c.runs.size()) * 16 - 9;
    rows.push_back({.send = BarCode(c.type, c.data),
                    .prints = "bars " + c.runs + "@0,0-" + std::to_string(right) + (postnet ? ",45" : ",180") +
                              (c.text[0] == '[' ? " " + std::string(c.text)
                                                : digits + c.text + (postnet ? "@0,51" : "@0,186")),
                    .setup = bars});
  }
  const std::vector<Row> more = {
      // Code 39's modulo-43 check of a large sum (8 x 35 = 280: M); no digits with c bit 1.
      {.send = BarCode(5, "ZZZZZZZZ", 3) + "X", .prints = "bars 1311313111133131111113313111111331311111133131111113313111111331311111133131111113313111113131111311131131311@0,0-700,180 X@700,0", .setup = bars},
      // Interleaved 2 of 5 with 29 nines: the check digit of a sum of 531 is 9.
      {.send = BarCode(2, std::string(29, '9'), 3) + "X", .prints = "bars 1111113311331111331133111133113311113311331111331133111133113311113311331111331133111133113311113311331111331133111133113311113311331111331133111133113311311@0,0-1116,180 X@1116,0", .setup = bars},
      // A module of 3 is 6 dots; the position moves to the bar code's right end.
      {.send = BarCode(2, "12", 2, 3) + "X", .prints = "bars 11113113111133311@0,0-162,180 X@162,0", .setup = {.dpi = 360, .module = 6, .font = "[-52 36 400 Roman]"}},
      // One that would cross the bottom of a 2-inch form 1.6 inches down prints whole atop the next page.
      {.send = Esc('C', 0, 2) + Esc('J', 180) + Esc('J', 108) + "A" + BarCode(2, "12", 2, 3) + "X", .prints = "A@0,576 | bars 11113113111133311@36,0-198,180 X@198,0", .setup = {.dpi = 360, .module = 6, .font = "[-52 36 400 Roman]"}},
      // Wrong data, a wrong type or module, and a bar code across the right margin print nothing.
      {.send = BarCode(0, "12345678901A") + BarCode(8, "1") + BarCode(0, "123456789012", 1, 6) + "X", .prints = "X@0,0", .setup = bars},
      {.send = Esc('Q', 5) + BarCode(0, "123456789012") + "X", .prints = "X@0,0", .setup = bars},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  return rows;
}

// The 9-pin printer (FX/LX class): ESC 3, ESC J and ESC j in 1/216 inch, ESC A in 1/72, ESC \ and ESC SP
// in 1/120; bit images of eight dots 1/72 inch apart (8/72 inch is 67 dots), nine with ESC ^. What only the
// 24-pin printers know is consumed with its data and prints nothing. It starts in draft.
std::vector<Row> NinePin() {
  const Setup fx{.ninePin = true, .font = "[-88 60 400 Sans Serif]"};
  const auto image = [&](std::string head, int columns, std::string prints) {
    return Row{.send = head + Bytes(0x80) + Fill(static_cast<std::size_t>(columns - 2), 0) + Bytes(1) + "X", .prints = prints, .setup = fx};
  };
  return {
      {.send = Esc('3', 36) + "A\nB", .prints = "A@0,0 B@0,100", .setup = fx},
      {.send = Esc('3', 24) + "A" + std::string(9, '\n') + "B", .prints = "A@0,0 B@0,600", .setup = fx},  // no drift
      {.send = Esc('A', 12) + "A\nB", .prints = "A@0,0 B@0,100", .setup = fx},
      {.send = "A" + Esc('J', 216) + "B" + Esc('j', 108) + "C", .prints = "A@0,0 B@60,600 C@120,300", .setup = fx},
      {.send = Esc('\\', W{120}) + "A" + Esc('x', 1) + Esc('\\', W{120}) + "B", .prints = "A@600,0 [-88 60 400 Roman] B@1260,0", .setup = fx},
      {.send = Esc(' ', 12) + "AB", .prints = "A@0,0 B@120,0", .setup = fx},
      {.send = Esc('R', 2) + "@\x9b", .prints = "§ø@0,0", .setup = {.ninePin = true, .codePage = 850, .font = fx.font}},
      {.send = Esc('+', 72) + "A" + EscParen('U', 10) + EscParen('V', W{360}) + EscParen('C', W{720}) + "\nB", .prints = "A@0,0 B@0,100", .setup = fx},
      {.send = Esc('c', W{72}) + Esc('X', 1, W{40}) + Esc('g') + Esc('q', 1) + "AB", .prints = "AB@0,0", .setup = fx},
      {.send = Esc('.', 0, 10, 10, 1, W{8}) + Bytes(0xFF) + Esc(':', 0, 0, 0) + Esc('%', 1) + "A", .prints = "A@0,0", .setup = fx},
      {.send = Esc('&', 0, 'A', 'A', 0x8b) + Fill(11, 0x7f) + Esc('%', 1) + "A", .prints = "A@0,0", .setup = fx},
      image(Esc('*', 0, W{6}), 6, "image 6x8@0,0-60,67: 0,0 5,7 X@60,0"),
      image(Esc('*', 1, W{12}), 12, "image 12x8@0,0-60,67: 0,0 11,7 X@60,0"),
      image(Esc('*', 2, W{12}), 12, "image 12x8@0,0-60,67: 0,0 11,7 X@60,0"),
      image(Esc('*', 3, W{24}), 24, "image 24x8@0,0-60,67: 0,0 23,7 X@60,0"),
      image(Esc('*', 4, W{8}), 8, "image 8x8@0,0-60,67: 0,0 7,7 X@60,0"),
      image(Esc('*', 5, W{6}), 6, "image 6x8@0,0-50,67: 0,0 5,7 X@50,0"),
      image(Esc('*', 6, W{9}), 9, "image 9x8@0,0-60,67: 0,0 8,7 X@60,0"),
      image(Esc('*', 7, W{12}), 12, "image 12x8@0,0-50,67: 0,0 11,7 X@50,0"),
      image(Esc('*', 32, W{2}), 6, "X@0,0"),
      image(Esc('K', W{6}), 6, "image 6x8@0,0-60,67: 0,0 5,7 X@60,0"),
      image(Esc('L', W{12}), 12, "image 12x8@0,0-60,67: 0,0 11,7 X@60,0"),
      image(Esc('Y', W{12}), 12, "image 12x8@0,0-60,67: 0,0 11,7 X@60,0"),
      image(Esc('Z', W{24}), 24, "image 24x8@0,0-60,67: 0,0 23,7 X@60,0"),
      image(Esc('?', 'K', 5) + Esc('K', W{6}), 6, "image 6x8@0,0-50,67: 0,0 5,7 X@50,0"),
      {.send = Esc('^', 0, W{6}) + Bytes(0x80, 0) + Fill(8, 0) + Bytes(0, 0x80) + "X", .prints = "image 6x9@0,0-60,75: 0,0 5,8 X@60,0", .setup = fx},
      {.send = Esc('^', 1, W{12}) + Bytes(0x80, 0) + Fill(20, 0) + Bytes(0, 0x80) + "X", .prints = "image 12x9@0,0-60,75: 0,0 11,8 X@60,0", .setup = fx},
  };
}

// Bad input prints no parameter and reads nothing beyond the data.
std::vector<Row> BadInput() {
  return {
      {.send = "A" + Esc('(', 'C', 0xFF, 0xFF) + "BC", .prints = "A@0,0"},  // 65535 bytes to come
      {.send = Esc('C', 0, 0) + "AB" + Esc('C', 0), .prints = "AB@0,0"},
      {.send = Esc('D', 5, 3) + "AB" + Esc('D', 1, 2), .prints = "AB@0,0"},  // ended by a lower value
      {.send = Esc('*', 39, W{16}) + "abcde", .prints = ""},
      {.send = Esc('*', 0, W{3}) + "abcX" + Esc('K', W{2}) + "deY", .prints = "image 3x8@0,0-30,80: 10 X@30,0 image 2x8@90,0-110,80: 7 Y@110,0"},
      {.send = Esc('.', 1, 10, 10, 1, W{16}) + Bytes(1, 0xAA, 0xBB) + "X" + Esc('.', 1, 10, 10, 2, W{16}) + Bytes(0xFD, 0), .prints = "image 16x1@0,0-27,2: 10 X@27,0 image 16x2@87,0-114,3:"},
      {.send = Esc('&', 0, 'A', 'B', 0, 1, 0) + "abc" + Bytes(0, 2, 0) + "defghiX" + Esc('%', 1) + Esc('&', 0, 'A', 'A', 0, 5, 0) + "abc", .prints = "X@0,0"},
      {.send = "A" + Esc('(') + Esc(), .prints = "A@0,0"},
      {.send = "A" + Esc('$', 0xFF, 0xFF) + "B" + Esc('\\', 0, 0x80) + "C", .prints = "ABC@0,0"},  // past either margin
  };
}

TEST(Escp2CommandTable, VerticalMotion) { Check(VerticalMotion()); }
TEST(Escp2CommandTable, PageFormat) { Check(PageFormat()); }
TEST(Escp2CommandTable, HorizontalMotion) { Check(HorizontalMotion()); }
TEST(Escp2CommandTable, CharacterModes) { Check(CharacterModes()); }
TEST(Escp2CommandTable, NationalSets) { Check(NationalSets()); }
TEST(Escp2CommandTable, CharacterTables) { Check(CharacterTables()); }
TEST(Escp2CommandTable, DownloadedCharacters) { Check(DownloadedCharacters()); }
TEST(Escp2CommandTable, BitImagesAtEveryDensity) { Check(BitImagesAtEveryDensity()); }
TEST(Escp2CommandTable, BarCodes) { Check(BarCodes()); }
TEST(Escp2CommandTable, BadInput) { Check(BadInput()); }
TEST(Escp2CommandTable, NinePin) { Check(NinePin()); }

// Every command of the printer's table, and every ESC ( command of the manual, has a row above.
// Plain text takes a shorter way than a character between commands: both must print alike. A NUL after
// each character (ignored by the printer) sends every one the long way.
TEST(Escp2CommandTable, TextPrintsAsItDoesCharacterByCharacter) {
  const struct {
    std::string modes;
    std::string text;
    quillmark::Setup setup = {};
  } rows[] = {
      {"", "Hello, World"},
      {"", std::string(100, 'x') + "yz"},  // wraps at the right margin
      {Esc('Q', 40), std::string(45, 'x')},
      {Esc('R', 2), "{|}~[\\]@"},
      {Esc('t', 1), "\x84\x94\x81\xE1\xA0\xFF"},
      {Esc('t', 0), "a\xE1\xB0\x9F"},  // the italic table
      {"", "\xDA\xC4\xC4\xBF\xB3 a \xB3"},
      {Esc('>'), "abc"},
      {Esc('p', 1), "Wii Wii"},
      {Esc(' ', 5), "abc"},
      {Esc('-', 1), "a b c"},
      {Esc('W', 1), std::string(50, 'w')},
      {Esc('4'), "italic"},
      {"", "9-pin " + std::string(90, 'n'), {.ninePin = true}},
  };
  for (const auto& row : rows) {
    std::string slow;
    for (const char c : row.text) slow += std::string{c, '\0'};
    EXPECT_EQ(Print(row.modes + row.text, row.setup), Print(row.modes + slow, row.setup))
        << Readable(row.modes + row.text);
  }
}

TEST(Escp2CommandTable, EveryCommandHasACase) {
  std::string sent;
  for (const auto& rows : {VerticalMotion(), PageFormat(), HorizontalMotion(), CharacterModes(), NationalSets(), CharacterTables(), DownloadedCharacters(), BitImagesAtEveryDensity(), BarCodes()}) {
    for (const Row& row : rows) sent += row.send;
  }
  for (int code = 0; code < 256; ++code) {
    if (FindEscp2Row(static_cast<std::uint8_t>(code)) == nullptr) continue;
    EXPECT_NE(sent.find(Esc(code)), std::string::npos) << "ESC " << code << " has no case";
  }
  for (const char sub : std::string("-BCUV^citv")) EXPECT_NE(sent.find(Esc('(', sub)), std::string::npos) << sub;
  // The 9-pin printer: every row of its own, every command whose units or dots differ there, each density.
  std::string ninePin;
  for (const Row& row : NinePin()) ninePin += row.send;
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<std::uint8_t>(code);
    const bool own = FindEscp2Row(c, true) != FindEscp2Row(c);
    if (!own && std::string_view("*KLYZ?^\\ ").find(static_cast<char>(c)) == std::string_view::npos) continue;
    EXPECT_NE(ninePin.find(Esc(code)), std::string::npos) << "ESC " << code << " has no 9-pin case";
  }
  for (int mode = 0; mode <= 7; ++mode) EXPECT_NE(ninePin.find(Esc('*', mode)), std::string::npos) << mode;
}

}  // namespace
}  // namespace quillmark
