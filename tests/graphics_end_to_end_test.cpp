// The real quillmark executable under the ESC/P 2 emulation printing dot graphics into PDFs.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

// ESC * 39 (180 x 180 dpi, 24 dots a column): `inked` solid columns, then `blank` empty ones.
std::string Strip(int inked, int blank) {
  const int columns = inked + blank;
  return "\x1b*\x27" + std::string{static_cast<char>(columns & 0xFF), static_cast<char>(columns >> 8)} +
         std::string(static_cast<std::size_t>(inked) * 3, '\xFF') +
         std::string(static_cast<std::size_t>(blank) * 3, '\0');
}

// Gray values of the pages of a PDF rendered at 150 dpi.
struct Rendered {
  std::vector<std::string> pages;  // raw PGM files
  int Gray(std::size_t page, int x, int y) const {
    const std::string& pgm = pages.at(page);
    std::size_t at = 0;
    for (int lines = 0; lines < 3; ++lines) at = pgm.find('\n', at) + 1;  // "P5", size, maximum
    const int width = std::stoi(pgm.substr(3));
    return static_cast<unsigned char>(pgm.at(at + static_cast<std::size_t>(y * width + x)));
  }
};

class GraphicsEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
    // Borders of one inch: the first line's top-left corner is 150 pixels from the edges at 150 dpi.
    testing::WriteFileBytes(
        dir_.File("Settings.ini"),
        "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = PDF:PDF\r\nEmulation = ESC/P2\r\n"
        "Border.Left = 25.4\r\nBorder.Top = 25.4\r\n");
    program_ = std::make_unique<testing::RunningProgram>(
        std::vector<std::string>{testing::BuiltProgram("quillmark")}, dir_.path());
    ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(dir_.File("LPT1.PRN")); }, 10s));
  }
  void TearDown() override {
    if (program_) program_->Signal(SIGTERM), program_->Wait(60s);
  }

  // Spools one take and returns the PDF it became.
  std::string Print(const std::string& bytes) {
    const std::size_t before = Pdfs().size();
    testing::WriteFileBytes(dir_.File("LPT1.PRN"), bytes);
    testing::WaitUntil([&] { return Pdfs().size() > before; }, 60s);
    const std::vector<std::string> pdfs = Pdfs();
    return pdfs.size() > before ? pdfs.back() : "";
  }

  std::vector<std::string> Pdfs() const {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("PDF"), error)) {
      if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  Rendered Render(const std::string& pdf) {
    testing::RunProgram({"/usr/bin/pdftoppm", "-r", "150", "-gray", pdf, "page"}, dir_.path(), 120s);
    Rendered out;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      if (entry.path().extension() == ".pgm") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) out.pages.push_back(testing::ReadFileBytes(name));
    for (const std::string& name : names) std::filesystem::remove(name);
    return out;
  }

  testing::TempDir dir_;
  std::unique_ptr<testing::RunningProgram> program_;
};

TEST_F(GraphicsEndToEnd, LogoBetweenTextLinesAndGraphicsOnlyPages) {
  // Half an inch of black, half an inch of nothing, on the line between two text lines (1/6 inch each).
  const std::string invoice = Print("ABOVE\r\n" + Strip(90, 90) + "\r\nBELOW\r\n");
  ASSERT_FALSE(invoice.empty());
  EXPECT_EQ(testing::ReadPdfInfo(invoice)["Pages"], "1");
  // At 600 dpi: ABOVE's line is 600-700, the logo 700-780, BELOW's line 800-900; the footer follows.
  const std::vector<testing::PdfWord> words = testing::ReadPdfWords(invoice);
  ASSERT_GE(words.size(), 2u);
  EXPECT_EQ(words[0].text + " " + words[1].text, "ABOVE BELOW");
  EXPECT_NEAR(words[0].xMin, 600, 20);
  EXPECT_NEAR(words[0].yMin, 600, 5);
  EXPECT_NEAR(words[1].yMin, 800, 5);
  Rendered page = Render(invoice);
  ASSERT_EQ(page.pages.size(), 1u);
  EXPECT_LT(page.Gray(0, 152, 177), 64);  // the logo's corners, at 150 dpi: 150-225 across, 175-195 down
  EXPECT_LT(page.Gray(0, 223, 193), 64);
  EXPECT_GT(page.Gray(0, 230, 185), 192);  // right of the inked half
  EXPECT_GT(page.Gray(0, 190, 172), 192);  // above it, below ABOVE's letters

  // A screen dump: three pages of strips at 24/180 inch, each ended by a form feed.
  std::string dump = "\x1b\x33\x18";
  for (int sheet = 0; sheet < 3; ++sheet) {
    for (int line = 0; line < 60; ++line) dump += Strip(1080, 0) + "\r\n";
    dump += "\f";
  }
  const std::string graphics = Print(dump);
  ASSERT_FALSE(graphics.empty());
  EXPECT_EQ(testing::ReadPdfInfo(graphics)["Pages"], "3");
  page = Render(graphics);
  ASSERT_EQ(page.pages.size(), 3u);
  for (std::size_t sheet = 0; sheet < 3; ++sheet) {
    EXPECT_LT(page.Gray(sheet, 160, 160), 64) << sheet;    // inside the first strip
    EXPECT_LT(page.Gray(sheet, 1040, 1340), 64) << sheet;  // inside the last one: 8 inches down, 6 across
    EXPECT_GT(page.Gray(sheet, 1060, 700), 192) << sheet;  // right of the strips
  }
}

}  // namespace
}  // namespace quillmark
