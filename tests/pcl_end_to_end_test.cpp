// LaserJet takes of real programs (tests/data/pcl/README.md says where each comes from) printed by the
// real quillmark-render with --emulation pcl and read back with poppler; Auto told apart from ESC/P.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "emulation/pcl/pcl_run.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

const std::string kData = std::string(QUILLMARK_SOURCE_DIR) + "/tests/data/pcl/";

// Prints `file` on Letter paper and returns the PDF's path.
std::string Render(const testing::TempDir& dir, const std::string& file,
                   const std::string& emulation = "pcl") {
  const std::string pdf = dir.File(file + ".pdf");
  const auto result = testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--emulation",
                                           emulation, "--paper=Letter", "-o", pdf, kData + file},
                                          dir.path(), 60s);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return pdf;
}

// Words at 300 dpi, the LaserJet's own dots; the footer is left out.
std::vector<testing::PdfWord> Words(const std::string& pdf) {
  auto words = testing::ReadPdfWords(pdf, 300);
  std::erase_if(words, [](const testing::PdfWord& w) {
    return w.text == "Gedruckt" || w.text == "mit" || w.text == "Quillmark" || w.text == "1.0";
  });
  return words;
}

TEST(PclEndToEnd, DriverTextLinesFallOnTheLaserJetsGrid) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  const std::string pdf = Render(dir, "amiga-laserjet-text.pcl");
  EXPECT_EQ(testing::ReadPdfInfo(pdf)["Pages"], "1");
  const auto words = Words(pdf);
  std::vector<std::string> firsts;
  std::vector<double> tops;
  double lastTop = -1;
  for (const auto& word : words) {
    if (std::abs(word.yMin - lastTop) < 1) continue;
    lastTop = word.yMin;
    firsts.push_back(word.text);
    tops.push_back(word.yMin);
    // Every line starts at the left edge of Letter's logical page, a quarter inch in.
    EXPECT_NEAR(word.xMin, 75, 1) << word.text;
  }
  ASSERT_EQ(firsts, (std::vector<std::string>{"Quarterly", "Bold", "Underlined", "Elite", "Condensed", "H2O",
                                              "Eight", "Second", "Normal"}));
  // 6 lines per inch are 50 dots, after ESC = and ESC & a -.5 R (half a line down and up) too; 8 lpi is 37.5.
  EXPECT_NEAR(tops[1] - tops[0], 50, 1);
  EXPECT_NEAR(tops[6] - tops[5], 50, 1);
  EXPECT_NEAR(tops[7] - tops[6], 37.5, 1);
  EXPECT_NEAR(tops[8] - tops[7], 37.5, 1);
}

TEST(PclEndToEnd, LabelsLandWhereTheProgramPlacesThem) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  const std::string pdf = Render(dir, "bin-labels.pcl");
  // The program repeats the orientation before each line; that is no new page.
  EXPECT_EQ(testing::ReadPdfInfo(pdf)["Pages"], "1");
  std::vector<testing::PdfWord> numbers;
  for (const auto& word : Words(pdf)) {
    if (word.text.rfind("A-0", 0) == 0) numbers.push_back(word);
  }
  ASSERT_EQ(numbers.size(), 10u);
  // Labels 0-4 down the left column two inches apart, 5-9 four inches to the right.
  std::sort(numbers.begin(), numbers.end(), [](const auto& a, const auto& b) { return a.text < b.text; });
  for (std::size_t label = 0; label < numbers.size(); ++label) {
    EXPECT_NEAR(numbers[label].xMin, label < 5 ? 75 : 1275, 1) << numbers[label].text;
    EXPECT_NEAR(numbers[label].yMin - numbers[label % 5].yMin, 0, 1) << numbers[label].text;
    if (label % 5 > 0) {
      EXPECT_NEAR(numbers[label].yMin - numbers[label - 1].yMin, 600, 1) << numbers[label].text;
    }
  }
}

TEST(PclEndToEnd, RasterDumpCoversItsBoxAtSeventyFiveDpi) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  const std::string pdf = Render(dir, "amiga-laserjet-graphic.pcl");
  EXPECT_EQ(testing::ReadPdfInfo(pdf)["Pages"], "1");
  testing::RunProgram({"/usr/bin/pdftoppm", "-r", "300", "-gray", pdf, pdf}, dir.path(), 120s);
  const std::string pgm = testing::ReadFileBytes(pdf + "-1.pgm");
  ASSERT_FALSE(pgm.empty());
  std::size_t at = 0;
  for (int line = 0; line < 3; ++line) at = pgm.find('\n', at) + 1;
  const int width = std::stoi(pgm.substr(3));
  const int height = static_cast<int>((pgm.size() - at) / static_cast<std::size_t>(width));
  // The dark box: its right edge in the rows above the footer, its foot left of the footer's first letter.
  int left = width, top = height, right = -1, bottom = -1;
  for (int y = 0; y < 600 && y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (static_cast<unsigned char>(pgm[at + static_cast<std::size_t>(y * width + x)]) >= 64) continue;
      if (y < 300) right = std::max(right, x), top = std::min(top, y);
      if (x < 110) left = std::min(left, x), bottom = std::max(bottom, y);
    }
  }
  // 96 x 48 pixels of 4 dots from the first line's baseline (187.5) at the logical page's left edge (75).
  EXPECT_NEAR(left, 75, 1);
  EXPECT_NEAR(right + 1, 75 + 96 * 4, 1);
  EXPECT_NEAR(top, 187.5, 1);
  EXPECT_NEAR(bottom + 1, 187.5 + 48 * 4, 1);
}

// A landscape page prints upright, on paper lying across as on portrait paper, where it gets a page of its
// own turned across: column 150 at 16.67 cpi is 9 inches right of the landscape logical page's edge (60
// dots in), inside Letter's 11 inches.
TEST(PclEndToEnd, LandscapePagesPrintUprightAcrossTheSheet) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("wide.pcl"),
                          "\x1b"
                          "E\x1b&l1O\x1b(s16.67HLeft\x1b&a150CRight\r\n\f");
  for (const char* paper : {"279.4x215.9", "Letter"}) {
    const auto result =
        testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--emulation", "pcl", "--paper",
                             paper, "-o", dir.File("wide.pdf"), dir.File("wide.pcl")},
                            dir.path(), 60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testing::ReadPdfInfo(dir.File("wide.pdf"))["Page size"].substr(0, 10), "792 x 612 ") << paper;
    const auto words = Words(dir.File("wide.pdf"));
    ASSERT_EQ(words.size(), 2u) << paper;
    EXPECT_NEAR(words[0].xMin, 60, 1) << paper;
    EXPECT_NEAR(words[0].yMin, 187.5 - 25, 10) << paper;  // the first line's baseline less an ascent
    EXPECT_NEAR(words[1].xMin, 60 + 150 * 300 / 16.67, 1) << paper;
  }
}

// HP-GL/2 is skipped whole, with one line for the take however many pictures it holds. PC-8's box
// characters, drawn as rules, stay in the text layer.
TEST(PclEndToEnd, HpglIsSkippedWithOneLogLineAndBoxCharactersStayText) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("plot.pcl"),
                          "\x1b"
                          "EBefore\x1b%0BIN;SP1;PA0,0;PD1000,1000;LBx\x03;\x1b%0A"
                          "\r\nAfter\x1b(10U\r\n\xDA\xC4\xC2\xBF\r\n\xC0\xC4\xC1\xD9\x1b%1BPU;PD;\x1b"
                          "E");
  const auto result = testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--emulation", "pcl",
                                           "-o", dir.File("plot.pdf"), dir.File("plot.pcl")},
                                          dir.path(), 60s);
  EXPECT_EQ(result.exitCode, 0);
  const std::string line = "HP-GL/2-Grafik im PCL-Druckauftrag wird nicht gedruckt.";
  EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(line), result.err.rfind(line)) << result.err;
  const std::string text = testing::ReadPdfText(dir.File("plot.pdf"));
  EXPECT_NE(text.find("Before"), std::string::npos);
  EXPECT_NE(text.find("After"), std::string::npos);
  EXPECT_EQ(text.find("PD"), std::string::npos) << text;
  EXPECT_NE(text.find("┌─┬┐\n└─┴┘"), std::string::npos) << text;
}

// CodePage gives the LaserJet's symbol set, which ESC E keeps: PC-850 for 850 and 858, PC-8 Danish/Norwegian
// for 865, PC-8 for the rest.
TEST(PclEndToEnd, CodePageChoosesTheSymbolSet) {
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils missing";
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("upper.pcl"), "\033E\x9b\x9d\xd5\r\n\033E");
  for (const auto& [codePage, text] :
       {std::pair{"437", "¢¥╒"}, {"850", "øØı"}, {"858", "øØı"}, {"865", "øØ╒"}, {"866", "¢¥╒"}}) {
    const auto result =
        testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--emulation", "pcl", "--codepage",
                             codePage, "-o", dir.File("upper.pdf"), dir.File("upper.pcl")},
                            dir.path(), 60s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string printed = testing::ReadPdfText(dir.File("upper.pdf"));
    EXPECT_EQ(printed.substr(0, printed.find('\n')), text) << codePage;
  }
}

// Auto takes every LaserJet take the tests hold for PCL and every Epson take for ESC/P 2.
TEST(PclEndToEnd, AutoTellsLaserJetTakesFromEpsonTakes) {
  const std::string root = QUILLMARK_SOURCE_DIR;
  std::vector<std::pair<std::string, bool>> takes;  // path, LaserJet
  for (const auto& entry : std::filesystem::directory_iterator(kData)) {
    if (entry.path().extension() == ".pcl") takes.emplace_back(entry.path().string(), true);
  }
  const std::pair<const char*, bool> corpora[] = {{"/fuzz/corpus/pcl", true}, {"/fuzz/corpus/escp2", false}};
  for (const auto& [folder, laserJet] : corpora) {
    for (const auto& entry : std::filesystem::directory_iterator(root + folder)) {
      takes.emplace_back(entry.path().string(), laserJet);
    }
  }
  takes.emplace_back(root + "/demo/sample.prn", false);
  ASSERT_GT(takes.size(), 20u);
  // The beginnings that decide, as README names them; then text that follows them.
  for (const char* start : {"\033E", "\x1b%-12345X", "@PJL JOB\r\n", "\x1b&l0O", "\x1b*t300R"})
    takes.emplace_back(std::string("bytes:") + start, true);
  for (const char* start : {"\x1b@", "Hello", "\x1b(s3B", "\x1b*\x01", "\x1b&A"})
    takes.emplace_back(std::string("bytes:") + start, false);
  for (const auto& [path, laserJet] : takes) {
    std::string bytes =
        path.starts_with("bytes:") ? path.substr(6) + "Text\r\n" : testing::ReadFileBytes(path);
    if (path.find("/fuzz/corpus/") != std::string::npos) bytes.erase(0, 1);  // the fuzzer's printer byte
    EXPECT_EQ(LooksLikePcl(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           static_cast<std::int32_t>(bytes.size())),
              laserJet)
        << path;
  }
  if (!testing::PopplerInstalled()) return;
  testing::TempDir dir;
  EXPECT_EQ(testing::ReadPdfText(Render(dir, "bin-labels.pcl", "auto")).find("*p"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
