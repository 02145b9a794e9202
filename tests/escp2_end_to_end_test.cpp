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
  for (const std::string& take : {Invoice(), WideReport(), Listing(), Form(), Styles()}) {
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
  EXPECT_NEAR(sum1.xMin, 230 + 124 * 35, 3);
  EXPECT_NEAR(sum3.xMin, sum1.xMin, 1);
  EXPECT_LT(sum3.xMax, 4960);

  // é from the French set; the listing breaks onto a second page.
  const std::string listing = testing::ReadPdfText(pdfs[2]);
  EXPECT_NE(listing.find("Café crème"), std::string::npos) << listing;
  EXPECT_EQ(pages(pdfs[2]), "2");
  EXPECT_EQ(find(words(pdfs[2]), "90").page, 2);

  // ESC $ 180/60 inch from the margin; ESC J 180/180 inch down.
  const auto form = words(pdfs[3]);
  EXPECT_NEAR(find(form, "Meier").xMin, 230 + 1800, 3);
  EXPECT_NEAR(find(form, "Bonn").xMin, 230 + 1800, 3);
  EXPECT_NEAR(find(form, "Bonn").yMin - find(form, "Meier").yMin, 600, 2);

  const std::string styles = testing::ReadPdfText(pdfs[4]);
  EXPECT_NE(styles.find("kursiv unterstrichen"), std::string::npos) << styles;
  const auto fonts = testing::ReadPdfFonts(pdfs[4]);
  EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](const std::string& row) {
    return row.find("Italic") != std::string::npos || row.find("Oblique") != std::string::npos;
  }));
}

}  // namespace
}  // namespace quillmark
