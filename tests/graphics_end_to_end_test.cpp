// The real quillmark with Emulation = ESC/P2 printing dot graphics; pages rendered back with pdftoppm.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

// ESC * 39 (180 dots per inch both ways, 24 a column): `inked` solid columns, then `blank` empty ones.
std::string Strip(int inked, int blank) {
  return "\x1b*\x27" +
         std::string{static_cast<char>((inked + blank) & 0xFF), static_cast<char>((inked + blank) >> 8)} +
         std::string(static_cast<std::size_t>(inked) * 3, '\xFF') +
         std::string(static_cast<std::size_t>(blank) * 3, '\0');
}

// The gray value at (x, y) of a binary PGM file.
int Gray(const std::string& pgm, int x, int y) {
  std::size_t at = 0;
  for (int line = 0; line < 3; ++line) at = pgm.find('\n', at) + 1;  // "P5", width and height, maximum
  return static_cast<unsigned char>(pgm.at(at + static_cast<std::size_t>(y * std::stoi(pgm.substr(3)) + x)));
}

TEST(GraphicsEndToEnd, LogoBetweenTextLinesAndGraphicsOnlyPages) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  // Borders of one inch: the first line's corner is 150 pixels from the paper's edges at 150 dpi.
  testing::WriteFileBytes(
      dir.File("Settings.ini"),
      "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = PDF:PDF\r\nEmulation = ESC/P2\r\n"
      "Border.Left = 25.4\r\nBorder.Top = 25.4\r\n");
  testing::RunningProgram program({testing::BuiltProgram("quillmark")}, dir.path());
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir.File("LPT1.PRN")); }, 10s));
  // Half an inch of black and half an inch of nothing on the line between two text lines, overprinted in
  // magenta the other way round; then a screen dump of three pages of strips 24/180 inch apart, each page
  // ended by a form feed.
  std::string magenta = Strip(0, 180);
  std::fill(magenta.end() - 270, magenta.end(), '\xFF');
  std::string dump = "\x1b\x33\x18";
  for (int line = 0; line < 180; ++line) dump += Strip(1080, 0) + (line % 60 == 59 ? "\r\n\f" : "\r\n");
  const auto listed = [&] {
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("PDF"), missing)) {
      if (entry.path().filename().string()[0] != '.') files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());  // the names sort by time
    return files;
  };
  std::vector<std::string> pdfs;
  for (const std::string& take :
       {"ABOVE\r\n" + Strip(90, 90) + "\r\x1br\001" + magenta + "\x1br0\r\nBELOW\r\n", dump}) {
    testing::WriteFileBytes(dir.File("LPT1.PRN"), take);
    ASSERT_TRUE(testing::WaitUntil([&] { return listed().size() == pdfs.size() + 1; }, 30s));
    pdfs.push_back(listed().back());
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60s).exitCode, 0);

  // At 600 dpi: ABOVE's line is 600-700, the logo 700-780, BELOW's line 800-900; the footer follows.
  EXPECT_EQ(testing::ReadPdfInfo(pdfs[0])["Pages"], "1");
  const auto words = testing::ReadPdfWords(pdfs[0]);
  ASSERT_GE(words.size(), 2u);
  EXPECT_EQ(words[0].text + std::to_string(std::lround(words[0].yMin)) + words[1].text +
                std::to_string(std::lround(words[1].yMin)),
            "ABOVE600BELOW800");
  // Each picture keeps its own dots, 1 bit each, at 180 x 180 dpi.
  const std::string images =
      testing::RunProgram({"/usr/bin/pdfimages", "-list", pdfs[0]}, dir.path(), 60s).out;
  const std::regex oneBit(" 180 +24 +\\S+ +1 +1 .* 180 +180 ");
  EXPECT_EQ(std::distance(std::sregex_iterator(images.begin(), images.end(), oneBit), std::sregex_iterator()),
            2)
      << images;
  EXPECT_EQ(testing::ReadPdfInfo(pdfs[1])["Pages"], "3");
  for (const std::string& pdf : pdfs) {
    testing::RunProgram({"/usr/bin/pdftoppm", "-r", "150", "-gray", pdf, pdf}, dir.path(), 120s);
  }
  // At 150 dpi the logo covers 150-225 across and 175-195 down; the strips 150-1050 across.
  const std::string logo = testing::ReadFileBytes(pdfs[0] + "-1.pgm");
  EXPECT_LT(Gray(logo, 152, 177), 64);  // black, under the magenta picture's clear dots
  EXPECT_LT(Gray(logo, 223, 193), 64);
  EXPECT_NEAR(Gray(logo, 260, 185), 105, 25);  // magenta
  EXPECT_GT(Gray(logo, 190, 172), 192);        // above the logo, below ABOVE's letters
  EXPECT_GT(Gray(logo, 310, 185), 192);        // right of it
  for (const char* page : {"-1.pgm", "-2.pgm", "-3.pgm"}) {
    const std::string sheet = testing::ReadFileBytes(pdfs[1] + page);
    EXPECT_LT(Gray(sheet, 160, 160), 64) << page;    // inside the first strip
    EXPECT_LT(Gray(sheet, 1040, 1340), 64) << page;  // inside the last, 59 strips further down
    EXPECT_GT(Gray(sheet, 1060, 700), 192) << page;  // right of the strips
  }
}

}  // namespace
}  // namespace quillmark
