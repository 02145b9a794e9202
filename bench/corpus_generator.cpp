// Writes the benchmark corpus: a long DOS business report and a one-page job, as a DOS application
// would send them to an Epson-compatible printer (code page 437, ESC/P control codes).
// Deterministic: the same arguments always give the same bytes.
//
//   quillmark-corpus OUTDIR [PAGES]   writes OUTDIR/report.prn (PAGES pages, default 1000) and
//                                     OUTDIR/one-page.prn

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace std::string_view_literals;

constexpr char ESC = '\x1b';
constexpr std::string_view kCrLf = "\r\n";

// A small linear congruential generator: the corpus must not depend on the library's random engines.
class Numbers {
 public:
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  std::uint32_t Below(std::uint32_t limit) { return Next() % limit; }

 private:
  std::uint32_t state_ = 20261206u;
};

// Names and goods in code page 437: 0x81 ü, 0x84 ä, 0x94 ö, 0x8E Ä, 0x99 Ö, 0x9A Ü, 0xE1 ß.
constexpr std::string_view kCustomers[] = {
    "M\x81ller GmbH",        "B\x84" "ckerei Schr\x94" "der", "Gro\xE1handel Wei\xE1",
    "\x99kohof K\x94hler",   "\x8E" "pfel & Birnen KG",      "\x9A" "bersee-Import",
    "Fa. J\x84ger & S\x94hne", "Stra\xE1" "enbau Sch\x81tz", "Holzhandlung Fr\x94hlich",
};
constexpr std::string_view kGoods[] = {
    "Schrauben M6 (100 St\x81" "ck)", "Gl\x81hbirnen 60 W", "Dichtungsringe gro\xE1", "T\x81rgriffe Messing",
    "Fl\x81ssigseife 5 l",            "B\x81roklammern",      "Kabelbinder schwarz",  "Stahlw\x94lle fein",
};

std::string Money(std::uint32_t cents) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8u,%02u", cents / 100, cents % 100);
  return buffer;
}

std::string Padded(std::string_view text, std::size_t width) {
  std::string padded(text.substr(0, width));
  padded.resize(width, ' ');
  return padded;
}

// A box line of the table: left corner, 76 horizontal bars with column joints, right corner.
std::string BoxLine(char left, char joint, char right) {
  std::string line(1, left);
  for (int column = 0; column < 76; ++column) line += (column == 30 || column == 50) ? joint : '\xC4';
  line += right;
  return line;
}

void Page(std::string& out, Numbers& numbers, int page, int pages) {
  // Title in double width and bold, then a normal header line.
  out += ESC;
  out += "W\x01";
  out += ESC;
  out += "E";
  out += "Umsatzliste Quartal " + std::to_string(page % 4 + 1);
  out += ESC;
  out += "F";
  out += ESC;
  out += "W"sv;
  out += '\0';
  out += kCrLf;
  out += "Filiale N\x81rnberg"sv;
  out.append(44, ' ');
  out += "Seite " + std::to_string(page);
  out += " von " + std::to_string(pages);
  out += kCrLf;
  out += kCrLf;
  // The table in 12 characters per inch with box drawing.
  out += ESC;
  out += "M";
  out += BoxLine('\xDA', '\xC2', '\xBF') + std::string(kCrLf);
  for (const auto& [heading, width] : {std::pair{" Kunde"sv, 30}, {" Artikel"sv, 19}, {"      Betrag"sv, 25}}) {
    out += '\xB3';
    out += Padded(heading, static_cast<std::size_t>(width));
  }
  out += '\xB3';
  out += kCrLf;
  out += BoxLine('\xC3', '\xC5', '\xB4') + std::string(kCrLf);
  std::uint32_t total = 0;
  for (int row = 0; row < 40; ++row) {
    const std::uint32_t cents = numbers.Below(5000000);
    total += cents;
    const bool highlight = cents > 4500000;
    out += "\xB3 "sv;
    out += Padded(kCustomers[numbers.Below(static_cast<std::uint32_t>(std::size(kCustomers)))], 29);
    out += "\xB3 "sv;
    out += Padded(kGoods[numbers.Below(static_cast<std::uint32_t>(std::size(kGoods)))], 18);
    out += '\xB3';
    if (highlight) {
      out += ESC;
      out += "G";
    }
    std::string amount = "   ";
    amount += Money(cents);
    amount += " EUR";
    out += Padded(amount, 25);
    if (highlight) {
      out += ESC;
      out += "H";
    }
    out += "\xB3";
    out += kCrLf;
  }
  out += BoxLine('\xC0', '\xC1', '\xD9') + std::string(kCrLf);
  out += ESC;
  out += "P";
  // Totals in bold, closer line spacing for the notes in condensed print.
  out += ESC;
  out += "E";
  out += "Summe der Seite:"sv;
  out.append(36, ' ');
  out += Money(total);
  out += " EUR"sv;
  out += ESC;
  out += "F";
  out += kCrLf;
  out += ESC;
  out += "0";
  out += '\x0f';
  for (int note = 0; note < 6; ++note) {
    out += "Hinweis " + std::to_string(note + 1) +
           ": Betr\x84ge in Euro, zahlbar innerhalb von 14 Tagen ohne Abzug. Gem\x84\xE1 unseren "
           "Allgemeinen Gesch\x84" "ftsbedingungen bleibt die Ware bis zur vollst\x84ndigen Bezahlung "
           "unser Eigentum.";
    out += kCrLf;
  }
  out += '\x12';
  out += ESC;
  out += "2";
  // A proportional signature line and a one-line double width mark.
  out += ESC;
  out += "p\x01";
  out += "Gepr\x81" "ft: Buchhaltung, i. A. Sch\x84" "fer";
  out += ESC;
  out += "p"sv;
  out += '\0';
  out += kCrLf;
  out += '\x0e';
  out += "ENDE SEITE";
  out += kCrLf;
  out += '\x0c';
}

std::string Report(int pages) {
  std::string out;
  Numbers numbers;
  out += ESC;
  out += "@";
  for (int page = 1; page <= pages; ++page) Page(out, numbers, page, pages);
  return out;
}

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTDIR [PAGES]\n", argv[0]);
    return 2;
  }
  const int pages = argc == 3 ? std::atoi(argv[2]) : 1000;
  if (pages < 1) {
    std::fprintf(stderr, "PAGES must be at least 1\n");
    return 2;
  }
  const std::string folder = argv[1];
  if (!Write(folder + "/report.prn", Report(pages)) || !Write(folder + "/one-page.prn", Report(1))) {
    std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
