// Writes the benchmark corpus: a long DOS business report and a one-page job, as a DOS application
// would send them to an Epson-compatible printer (code page 437, ESC/P control codes).
// Deterministic: the same arguments always give the same bytes.
//
//   quillmark-corpus OUTDIR [PAGES]   writes OUTDIR/report.prn (PAGES pages, default 1000),
//                                     OUTDIR/one-page.prn and OUTDIR/report.pcl (the report for an
//                                     HP LaserJet)

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

// The printer commands of the report, for an Epson printer and for an HP LaserJet: the same text either way.
struct Codes {
  std::string_view reset, titleOn, titleOff, elite, pica, strikeOn, strikeOff, boldOn, boldOff;
  std::string_view notesOn, notesOff, proportionalOn, proportionalOff, markOn, markOff;
};
constexpr Codes kEpson{
    .reset = "\x1b@", .titleOn = "\x1bW\x01\x1b" "E", .titleOff = "\x1b" "F\x1bW\x00"sv, .elite = "\x1bM",
    .pica = "\x1bP", .strikeOn = "\x1bG", .strikeOff = "\x1bH", .boldOn = "\x1b" "E", .boldOff = "\x1b" "F",
    .notesOn = "\x1b" "0\x0f", .notesOff = "\x12\x1b" "2", .proportionalOn = "\x1bp\x01",
    .proportionalOff = "\x1bp\x00"sv, .markOn = "\x0e", .markOff = ""};
constexpr Codes kLaserJet{
    .reset = "\x1b" "E\x1b)s5H", .titleOn = "\x1b(s5h3B", .titleOff = "\x1b(s10h0B", .elite = "\x1b(s12H",
    .pica = "\x1b(s10H", .strikeOn = "\x1b(s3B", .strikeOff = "\x1b(s0B", .boldOn = "\x1b(s3B",
    .boldOff = "\x1b(s0B", .notesOn = "\x1b&l8D\x1b(s16.67H", .notesOff = "\x1b(s10H\x1b&l6D",
    .proportionalOn = "\x1b(s1P", .proportionalOff = "\x1b(s0P", .markOn = "\x0e", .markOff = "\x0f"};

void Page(std::string& out, Numbers& numbers, int page, int pages, const Codes& codes) {
  // Title in double width and bold, then a normal header line.
  out += codes.titleOn;
  out += "Umsatzliste Quartal " + std::to_string(page % 4 + 1);
  out += codes.titleOff;
  out += kCrLf;
  out += "Filiale N\x81rnberg"sv;
  out.append(44, ' ');
  out += "Seite " + std::to_string(page);
  out += " von " + std::to_string(pages);
  out += kCrLf;
  out += kCrLf;
  // The table in 12 characters per inch with box drawing.
  out += codes.elite;
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
      out += codes.strikeOn;
    }
    std::string amount = "   ";
    amount += Money(cents);
    amount += " EUR";
    out += Padded(amount, 25);
    if (highlight) {
      out += codes.strikeOff;
    }
    out += "\xB3";
    out += kCrLf;
  }
  out += BoxLine('\xC0', '\xC1', '\xD9') + std::string(kCrLf);
  out += codes.pica;
  // Totals in bold, closer line spacing for the notes in condensed print.
  out += codes.boldOn;
  out += "Summe der Seite:"sv;
  out.append(36, ' ');
  out += Money(total);
  out += " EUR"sv;
  out += codes.boldOff;
  out += kCrLf;
  out += codes.notesOn;
  for (int note = 0; note < 6; ++note) {
    out += "Hinweis " + std::to_string(note + 1) +
           ": Betr\x84ge in Euro, zahlbar innerhalb von 14 Tagen ohne Abzug. Gem\x84\xE1 unseren "
           "Allgemeinen Gesch\x84" "ftsbedingungen bleibt die Ware bis zur vollst\x84ndigen Bezahlung "
           "unser Eigentum.";
    out += kCrLf;
  }
  out += codes.notesOff;
  // A proportional signature line and a one-line double width mark.
  out += codes.proportionalOn;
  out += "Gepr\x81" "ft: Buchhaltung, i. A. Sch\x84" "fer";
  out += codes.proportionalOff;
  out += kCrLf;
  out += codes.markOn;
  out += "ENDE SEITE";
  out += kCrLf;
  out += codes.markOff;
  out += '\x0c';
}

std::string Report(int pages, const Codes& codes = kEpson) {
  std::string out;
  Numbers numbers;
  out += codes.reset;
  for (int page = 1; page <= pages; ++page) Page(out, numbers, page, pages, codes);
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
  if (!Write(folder + "/report.prn", Report(pages)) || !Write(folder + "/one-page.prn", Report(1)) ||
      !Write(folder + "/report.pcl", Report(pages, kLaserJet))) {
    std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
