// The real quillmark with Emulation = ESC/P2, printing DOS-style takes to PDFs read back with poppler.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

const std::string kEsc = "\x1b";
// Without Border keys the 8-inch line is centred on A4: 0.13 inch, 80 dots at 600 dpi.
constexpr double kLeft = 80;

std::string Lines(const std::string& prefix, int first, int last, const std::string& end = "\r\n") {
  std::string out;
  for (int n = first; n <= last; ++n) out += prefix + std::to_string(n) + end;
  return out;
}

// An invoice on 12-inch forms whose program counts 72 lines to reach the second sheet.
std::string Invoice() {
  std::string out = kEsc + "@" + kEsc + "C" + std::string(1, 72) + "RECHNUNG 4711 Blatt 1\r\n\r\n";
  out += Lines("Position ", 1, 60);
  out += std::string(72 - 62, '\n') + "RECHNUNG 4711 Blatt 2\r\n\r\n" + Lines("Position ", 61, 64);
  return out + "\f";
}

// 132 columns in condensed print over three form feeds; the last column reaches column 125.
std::string WideReport() {
  std::string out = kEsc + "@\x0f";
  for (int page = 1; page <= 3; ++page) {
    out += "Bilanz Seite " + std::to_string(page) + std::string(110, ' ') + "SUMME" + std::to_string(page) +
           "\r\n";
    out += "\f";
  }
  return out;
}

// A 90-line listing with the French set of ESC R and overstruck characters.
std::string Listing() {
  std::string out = kEsc + "@" + kEsc + "R\x01" + "Caf{ cr}me\r\n" + "o\b^ ABC\b\b\b___\r\n";
  return out + Lines("Zeile ", 3, 90) + "\f";
}

// Fields placed by absolute positions and fine line feeds.
std::string Form() {
  const std::string column = kEsc + std::string("$\xb4\x00", 3);  // 180/60 inch
  return kEsc + "@Name:" + column + "Meier" + kEsc + "J\xb4\rOrt:" + column + "Bonn\r\n";
}

std::string Styles() {
  return kEsc + "@" + kEsc + "4kursiv" + kEsc + "5 " + kEsc + "-1unterstrichen" + kEsc + "-0\r\n";
}

// A table framed with the box and block characters of code page 437, which the printer draws as rules.
std::string BoxedTable() {
  return kEsc +
         "@\xda\xc4\xc4\xc4\xc4\xc2\xc4\xc4\xc4\xc4\xbf\r\n\xb3 Nr \xb3 DM \xb3\r\n"
         "\xc3\xc4\xc4\xc4\xc4\xc5\xc4\xc4\xc4\xc4\xb4\r\n\xb3 17 \xb3 42 \xb3\r\n"
         "\xc0\xc4\xc4\xc4\xc4\xc1\xc4\xc4\xc4\xc4\xd9\r\n\xc9\xcd\xcd\xcd\xcd\xbb \xb0\xb1\xb2\xdb\r\n"
         "\xba Ende \xba\r\n";
}

// ESC ( B: an EAN-13 (module 2/180 inch, check digit added) after eight columns of text, then two symbols
// the printer rejects (a letter in the data, a type it does not have); a second take rejects one more.
std::string BarCode(int type, const std::string& data) {
  return kEsc + "(B" + static_cast<char>(6 + data.size()) + std::string(1, '\0') + static_cast<char>(type) +
         std::string("\x02\x00\x5a\x00\x01", 5) + data;
}
std::string BarCodes() {
  return "Artikel " + BarCode(0, "400638133393") + BarCode(0, "40063813339X") + BarCode(9, "1") + "\r\n";
}

TEST(Escp2EndToEnd, DosPrintoutsComeOutAsOnThePrinter) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  testing::WriteFileBytes(
      dir.File("Settings.ini"),
      "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = PDF:PDF\r\nEmulation = ESC/P2\r\n");
  testing::RunningProgram program({testing::BuiltProgram("quillmark")}, dir.path());
  const std::string spool = dir.File("LPT1.PRN");
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(spool); }, 10s));
  std::vector<std::string> pdfs;
  const auto pdfFiles = [&] {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("PDF"), error)) {
      if (entry.path().extension() == ".pdf" && entry.path().filename().string()[0] != '.') {
        files.push_back(entry.path().string());
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  };
  for (const std::string& take :
       {Invoice(), WideReport(), Listing(), Form(), Styles(), BoxedTable(), BarCodes(), BarCode(1, "12")}) {
    testing::WriteFileBytes(spool, take);
    ASSERT_TRUE(testing::WaitUntil([&] { return pdfFiles().size() == pdfs.size() + 1; }, 30s));
    pdfs = pdfFiles();
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60s).exitCode, 0);

  const auto words = [](const std::string& pdf) { return testing::ReadPdfWords(pdf); };
  const auto find = [](const std::vector<testing::PdfWord>& all, const std::string& text) {
    const auto it = std::find_if(all.begin(), all.end(), [&](const auto& w) { return w.text == text; });
    return it == all.end() ? testing::PdfWord{0, -1, -1, -1, text} : *it;
  };
  const auto pages = [](const std::string& pdf) { return testing::ReadPdfInfo(pdf)["Pages"]; };

  // The second sheet starts with its heading at the top of the second page.
  const auto invoice = words(pdfs[0]);
  EXPECT_EQ(pages(pdfs[0]), "2");
  const auto sheet1 = find(invoice, "RECHNUNG");
  const auto sheet2 = std::find_if(invoice.begin(), invoice.end(), [](const auto& w) { return w.page == 2; });
  ASSERT_NE(sheet2, invoice.end());
  EXPECT_EQ(sheet2->text, "RECHNUNG");
  EXPECT_NEAR(sheet2->yMin, sheet1.yMin, 2);
  EXPECT_EQ(find(invoice, "64").page, 2);

  // Condensed lasts over the form feeds; every right-hand column is on the paper at the same place.
  const auto report = words(pdfs[1]);
  EXPECT_EQ(pages(pdfs[1]), "3");
  const auto sum1 = find(report, "SUMME1");
  const auto sum3 = find(report, "SUMME3");
  EXPECT_EQ(sum3.page, 3);
  EXPECT_NEAR(sum1.xMin, kLeft + 124 * 35, 3);
  EXPECT_NEAR(sum3.xMin, sum1.xMin, 1);
  EXPECT_LT(sum3.xMax, 4960);

  // é from the French set; the listing breaks onto a second page.
  const std::string listing = testing::ReadPdfText(pdfs[2]);
  EXPECT_NE(listing.find("Café crème"), std::string::npos) << listing;
  EXPECT_EQ(pages(pdfs[2]), "2");
  EXPECT_EQ(find(words(pdfs[2]), "90").page, 2);

  // ESC $ 180/60 inch from the margin; ESC J 180/180 inch down.
  const auto form = words(pdfs[3]);
  EXPECT_NEAR(find(form, "Meier").xMin, kLeft + 1800, 3);
  EXPECT_NEAR(find(form, "Bonn").xMin, kLeft + 1800, 3);
  EXPECT_NEAR(find(form, "Bonn").yMin - find(form, "Meier").yMin, 600, 2);

  const std::string styles = testing::ReadPdfText(pdfs[4]);
  EXPECT_NE(styles.find("kursiv unterstrichen"), std::string::npos) << styles;
  const auto fonts = testing::ReadPdfFonts(pdfs[4]);
  EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](const std::string& row) {
    return row.find("Italic") != std::string::npos || row.find("Oblique") != std::string::npos;
  }));

  // The frame's characters, drawn as rules, are in the text layer at their columns.
  const std::string table = testing::ReadPdfText(pdfs[5]);
  EXPECT_EQ(table.substr(0, table.find("\n\n")),
            "┌────┬────┐\n│ Nr │ DM │\n├────┼────┤\n│ 17 │ 42 │\n└────┴────┘\n╔════╗ ░▒▓█\n║ Ende ║")
      << table;

  // EAN-13's digits as printed under the bars: the first left of the left guard, the two groups of six
  // under their 42 modules (3-45 and 50-92 of 95) from the symbol's left end, 8 columns from the margin.
  const auto ean = words(pdfs[6]);
  const double bars = kLeft + 480, module = 600.0 / 90;
  EXPECT_LE(find(ean, "4").xMax, bars);
  EXPECT_GE(find(ean, "006381").xMin, bars + 3 * module);
  EXPECT_LE(find(ean, "006381").xMax, bars + 45 * module);
  EXPECT_GE(find(ean, "333931").xMin, bars + 50 * module);
  EXPECT_LE(find(ean, "333931").xMax, bars + 92 * module);
  // One line per take for the symbols the printer left out, naming the first of them.
  const std::string log = testing::ReadFileBytes(dir.File("Error.log"));
  std::size_t rejected = 0;
  for (std::size_t at = 0; (at = log.find("Strichcode (ESC ( B, Typ ", at)) != std::string::npos; ++at)
    ++rejected;
  EXPECT_EQ(rejected, 2u) << log;
  EXPECT_NE(log.find("Typ 0) nicht gedruckt: Daten, Maße oder Breite"), std::string::npos) << log;
  EXPECT_NE(log.find("Typ 1) nicht gedruckt"), std::string::npos) << log;
}

// Forms on the sheet as the Epson printers put them, through quillmark-render without Border options:
// whole lines, n-line forms at their own pitch, nothing across the sheet's edge; the 9-pin printer's units.
TEST(Escp2EndToEnd, FormsFitTheSheetAsOnThePrinter) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  const auto numbered = [](int lines) { return Lines("L", 1, lines); };
  std::string eighty;
  for (int column = 1; column <= 80; ++column) eighty += static_cast<char>('0' + column % 10);
  const struct {
    const char* name;
    std::vector<std::string> options;
    std::string bytes;
    int lines;             // numbered lines printed
    int perPage;           // on each full page
    double pitch;          // points between lines
    double sheetHeight;    // inches
  } cases[] = {
      {.name = "80 columns on A4", .options = {}, .bytes = kEsc + "@" + eighty + "\r\n" + numbered(1),
       .lines = 1, .perPage = 0, .pitch = 0, .sheetHeight = 11.69},
      {.name = "80 columns on Letter", .options = {"--paper", "Letter"}, .bytes = eighty + "\r\n" + numbered(1),
       .lines = 1, .perPage = 0, .pitch = 0, .sheetHeight = 11},
      {.name = "1,000 lines on A4", .options = {}, .bytes = numbered(1000), .lines = 1000, .perPage = 70,
       .pitch = 12, .sheetHeight = 11.69},
      {.name = "ESC C 70 on A4", .options = {}, .bytes = kEsc + "C\x46" + numbered(140), .lines = 140,
       .perPage = 70, .pitch = 12, .sheetHeight = 11.69},
      {.name = "ESC C 66 on Letter", .options = {"--paper", "Letter"}, .bytes = kEsc + "C\x42" + numbered(132),
       .lines = 132, .perPage = 66, .pitch = 12, .sheetHeight = 11},
      {.name = "12-inch fanfold", .options = {"--paper", "210x304.8"}, .bytes = numbered(144), .lines = 144,
       .perPage = 72, .pitch = 12, .sheetHeight = 12},
      {.name = "ESC/P: ESC 3 36", .options = {"--emulation", "escp"}, .bytes = kEsc + "3\x24" + numbered(70),
       .lines = 70, .perPage = 70, .pitch = 12, .sheetHeight = 11.69},
      {.name = "ESC/P: ESC A 12", .options = {"--emulation", "escp"}, .bytes = kEsc + "A\x0c" + numbered(70),
       .lines = 70, .perPage = 70, .pitch = 12, .sheetHeight = 11.69},
      {.name = "CAN drops the line through mode changes", .options = {},
       .bytes = "L1\r\nXX" + kEsc + "EYY\x0fZZ\x18L2\r\n", .lines = 2, .perPage = 70, .pitch = 12,
       .sheetHeight = 11.69},
      {.name = "ESC ( V below the bottom margin",
       .options = {},
       .bytes = "L1\r" + kEsc + "(V\x02" + std::string(1, '\0') + "\x10\x11" + numbered(2).substr(4),
       .lines = 2, .perPage = 1, .pitch = 0, .sheetHeight = 11.69},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteFileBytes(dir.File("in.prn"), c.bytes);
    std::vector<std::string> command{testing::BuiltProgram("quillmark-render"), "--emulation", "escp2"};
    command.insert(command.end(), c.options.begin(), c.options.end());
    command.insert(command.end(), {"-o", dir.File("out.pdf"), dir.File("in.prn")});
    const auto result = testing::RunProgram(command, dir.path(), 60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto words = testing::ReadPdfWords(dir.File("out.pdf"));
    if (c.perPage == 0) {  // one line of 80 columns with room on both sides
      const auto line = std::find_if(words.begin(), words.end(), [&](const auto& w) { return w.text == eighty; });
      ASSERT_NE(line, words.end());
      EXPECT_GT(line->xMin, 30);
      EXPECT_LT(line->xMax, (c.sheetHeight == 11 ? 8.5 : 8.27) * 600 - 30);
      continue;
    }
    std::vector<testing::PdfWord> lines;
    std::copy_if(words.begin(), words.end(), std::back_inserter(lines),
                 [](const auto& w) { return w.text.size() > 1 && w.text[0] == 'L'; });
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.lines));
    EXPECT_EQ(words.size(), lines.size() + 4) << "the lines and the footer's four words, nothing else";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].text, "L" + std::to_string(i + 1));
      EXPECT_EQ(lines[i].page, static_cast<int>(i) / c.perPage + 1) << lines[i].text;
      EXPECT_GE(lines[i].yMin, -1) << lines[i].text;
      // pdftotext boxes a 10.5-point line from the face's ascent to its descent, 12.19 points.
      EXPECT_LE(lines[i].yMax, c.sheetHeight * 600 + 2) << lines[i].text;
      if (c.pitch > 0 && i % static_cast<std::size_t>(c.perPage) != 0) {
        EXPECT_NEAR(lines[i].yMin - lines[i - 1].yMin, c.pitch * 600 / 72, 1) << lines[i].text;
      }
    }
    // The footer on the sheet, below the last line (on a page of its own when the last sheet is full).
    const auto footer = std::find_if(words.begin(), words.end(), [](const auto& w) { return w.text == "Gedruckt"; });
    ASSERT_NE(footer, words.end());
    EXPECT_LE(footer->yMax, c.sheetHeight * 600);
    if (footer->page == lines.back().page) {
      EXPECT_GT(footer->yMin, lines.back().yMax);
    }
  }
}

}  // namespace
}  // namespace quillmark
