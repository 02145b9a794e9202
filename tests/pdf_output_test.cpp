// End to end: spool bytes through quillmark-render into a PDF, read back with poppler-utils.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using testing::PdfWord;
using testing::ProgramResult;
using testing::TempDir;

class PdfOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) are not installed";
  }

  ProgramResult Render(const std::string& bytes, std::vector<std::string> options = {}) {
    testing::WriteFileBytes(dir_.File("job.prn"), bytes);
    std::vector<std::string> argv{testing::BuiltProgram("quillmark-render")};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("job.prn");
    return testing::RunProgram(argv, dir_.path(), std::chrono::seconds(60));
  }

  // Renders and returns the words with coordinates in dots at `dotsPerInch`.
  std::vector<PdfWord> Words(const std::string& bytes, int dotsPerInch = 600, std::vector<std::string> options = {}) {
    const ProgramResult result = Render(bytes, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    auto words = testing::ReadPdfWords(dir_.File("job.pdf"));
    for (auto& word : words) {
      word.xMin = testing::PointsToDots(word.xMin, dotsPerInch);
      word.xMax = testing::PointsToDots(word.xMax, dotsPerInch);
      word.yMin = testing::PointsToDots(word.yMin, dotsPerInch);
      word.yMax = testing::PointsToDots(word.yMax, dotsPerInch);
    }
    return words;
  }

  TempDir dir_;
};

TEST_F(PdfOutputTest, FirstCellAtTheBordersAndLinesOneSixthInchApart) {
  const auto words = Words("Erste\r\nZweite\r\nDritte");
  ASSERT_EQ(words.size(), 4u + 3u);  // three lines and the four footer words
  EXPECT_EQ(words[0].text, "Erste");
  EXPECT_NEAR(words[0].xMin, 230, 0.5);
  EXPECT_NEAR(words[0].yMin, 253, 0.5);
  EXPECT_NEAR(words[1].yMin, 353, 0.5);
  EXPECT_NEAR(words[2].yMin, 453, 0.5);
  EXPECT_NEAR(words[2].xMin, 230, 0.5);
}

TEST_F(PdfOutputTest, PrintModesSetTheCharacterPitch) {
  const struct {
    const char* name;
    std::string bytes;
    double pitch;
  } cases[] = {
      {"10 cpi", "ABCDEFGHIJ", 60},
      {"12 cpi", "\x1bM" "ABCDEFGHIJ", 50},
      {"15 cpi", "\x1bg" "ABCDEFGHIJ", 40},
      {"condensed", "\x0f" "ABCDEFGHIJ", 35},
      {"double width", "\x1bW\x01" "ABCDEFGHIJ", 120},
      {"one-line double width", "\x0e" "ABCDEFGHIJ", 120},
      {"condensed double width", "\x0f\x0e" "ABCDEFGHIJ", 70},
  };
  for (const auto& c : cases) {
    const auto words = Words(c.bytes);
    ASSERT_FALSE(words.empty()) << c.name;
    EXPECT_EQ(words[0].text, "ABCDEFGHIJ") << c.name;
    EXPECT_NEAR(words[0].xMin, 230, 0.5) << c.name;
    EXPECT_NEAR(words[0].xMax - words[0].xMin, 10 * c.pitch, 1.0) << c.name;
  }
}

TEST_F(PdfOutputTest, FooterIsOneThirdInchBelowTheLastLineInBold) {
  const auto words = Words("Zeile 1\r\nZeile 2\r\n\x1bG" "Ende");
  ASSERT_EQ(words.size(), 5u + 4u);
  const PdfWord& footer = words[5];
  EXPECT_EQ(footer.text, "Gedruckt");
  EXPECT_NEAR(footer.xMin, 230, 0.5);
  // "Ende" begins at 453; the footer one third of an inch (200 dots) lower.
  EXPECT_NEAR(words[4].yMin, 453, 0.5);
  EXPECT_NEAR(footer.yMin, 653, 0.5);
  // 20 characters per inch: "Gedruckt " takes 9 x 30 dots.
  EXPECT_NEAR(words[6].xMin - footer.xMin, 9 * 30, 1.0);
  bool bold = false;
  for (const auto& row : testing::ReadPdfFonts(dir_.File("job.pdf"))) bold = bold || row.find("Bold") != std::string::npos;
  EXPECT_TRUE(bold);
}

TEST_F(PdfOutputTest, FormFeedsStartPagesButATrailingOneDoesNot) {
  const struct {
    std::string bytes;
    const char* pages;
  } cases[] = {
      {"Eins", "1"},
      {"Eins\x0c", "1"},
      {"Eins\x0c\r", "1"},
      {"Eins\x0c\r\n", "2"},
      {"Eins\r\n\x0cZwei\r\n\x0c" "Drei\r\n\x0c", "3"},
      {std::string(50, '\x0c') + "x", "50"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Render(c.bytes).exitCode, 0);
    EXPECT_EQ(testing::ReadPdfInfo(dir_.File("job.pdf"))["Pages"], c.pages) << ::testing::PrintToString(c.bytes);
  }
  // The page break resets the position to the first cell.
  const auto words = Words("Eins\r\n\x0cZwei\r\n");
  ASSERT_GE(words.size(), 2u);
  EXPECT_EQ(words[1].page, 2);
  EXPECT_NEAR(words[1].yMin, 253, 0.5);
}

TEST_F(PdfOutputTest, DosCodePageReadsBackAsUnicode) {
  const auto words = Words("\x84\x94\x81\xE1 \x8E\x99\x9A\r\n\xDA\xC4\xBF\r\n\xB3 \xB3\r\n\xC0\xC4\xD9");
  ASSERT_GE(words.size(), 6u);
  EXPECT_EQ(words[0].text, "äöüß");
  EXPECT_EQ(words[1].text, "ÄÖÜ");
  EXPECT_EQ(words[2].text, "┌─┐");
  EXPECT_EQ(words[3].text, "│");
  EXPECT_EQ(words[5].text, "└─┘");
}

TEST_F(PdfOutputTest, DocumentIsTitledAndItsFontsEmbedded) {
  ASSERT_EQ(Render("\x1b" "EFett\x1b" "F normal \x1bp\x01proportional").exitCode, 0);
  EXPECT_EQ(testing::ReadPdfInfo(dir_.File("job.pdf"))["Title"], "DOS Job");
  const auto fonts = testing::ReadPdfFonts(dir_.File("job.pdf"));
  ASSERT_GE(fonts.size(), 3u);
  for (const auto& row : fonts) {
    EXPECT_NE(row.find("CID TrueType"), std::string::npos) << row;
    EXPECT_NE(row.find(" yes "), std::string::npos) << row;
  }
}

TEST_F(PdfOutputTest, ResolutionBordersAndPaperComeFromTheOptions) {
  const auto words = Words("A", 300, {"--dpi", "300", "--border-left", "20", "--border-top", "0", "--paper", "148x210"});
  ASSERT_FALSE(words.empty());
  EXPECT_NEAR(words[0].xMin, 236, 0.5);  // 20 mm at 300 dots per inch
  EXPECT_NEAR(words[0].yMin, 0, 0.5);
  EXPECT_TRUE(testing::ReadPdfInfo(dir_.File("job.pdf"))["Page size"].starts_with("420 x 595"));
}

TEST_F(PdfOutputTest, StandardInputAndExplicitOutput) {
  const std::string input = "von stdin";
  const ProgramResult piped = testing::RunProgram({testing::BuiltProgram("quillmark-render")}, dir_.path(),
                                                  std::chrono::seconds(60), {}, &input);
  EXPECT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(testing::ReadPdfWords(dir_.File("stdin.pdf")).at(0).text, "von");
  ASSERT_EQ(Render("x", {"-o", "sub.pdf"}).exitCode, 0);
  EXPECT_TRUE(testing::FileExists(dir_.File("sub.pdf")));
  EXPECT_FALSE(testing::FileExists(dir_.File("job.pdf")));
}

TEST_F(PdfOutputTest, WrongUsageAndUnreadableInputFailClearly) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"--dpi", "abc", "job.prn"}, 2, "--dpi"},
      {{"--paper", "210", "job.prn"}, 2, "--paper"},
      {{"--border-left"}, 2, "--border-left"},
      {{"--frobnicate", "job.prn"}, 2, "unknown option"},
      {{"a.prn", "b.prn"}, 2, "one input"},
      {{"missing.prn"}, 2, "cannot read missing.prn"},
      {{"."}, 2, "cannot read ."},
      {{"-o", "no/such/dir/x.pdf", "job.prn"}, 1, "could not be written"},
  };
  testing::WriteFileBytes(dir_.File("job.prn"), "x");
  for (const auto& c : cases) {
    std::vector<std::string> argv{testing::BuiltProgram("quillmark-render")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProgramResult result = testing::RunProgram(argv, dir_.path(), std::chrono::seconds(60));
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.front();
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  // Nothing half-written is left behind.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"job.prn"});
}

}  // namespace
}  // namespace quillmark
