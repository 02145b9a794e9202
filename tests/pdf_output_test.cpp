// End to end: spool bytes through quillmark-render into PDFs, read back with poppler-utils.

#include <gtest/gtest.h>

#include <QDateTime>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <regex>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using testing::ProgramResult;

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PdfOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
    testing::WriteFileBytes(dir_.File("job.prn"), "Beleg");
  }

  // Runs quillmark-render with `args`, after the `shell` commands when given.
  ProgramResult Run(std::vector<std::string> args, const std::string& shell = "") {
    args.insert(args.begin(), testing::BuiltProgram("quillmark-render"));
    if (!shell.empty()) args.insert(args.begin(), {"/bin/sh", "-c", shell + "; exec \"$0\" \"$@\""});
    return testing::RunProgram(args, dir_.path(), std::chrono::seconds(60));
  }

  std::string Render(const std::string& bytes) {
    testing::WriteFileBytes(dir_.File("job.prn"), bytes);
    const ProgramResult result = Run({"job.prn"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return dir_.File("job.pdf");
  }

  testing::TempDir dir_;
};

TEST_F(PdfOutputTest, LinesStartAtTheBordersOneSixthInchApartWithTheModesPitch) {
  const struct {
    const char *on, *off;
    double pitch;
  } lines[] = {{"", "", 60},
               {"\x0f", "\x12", 35},
               {"\x1bW1", "\x1bW0", 120},
               {"\x1bM", "\x1bP", 50},
               {"\x1bG", "\x1bH", 60}};  // double strike: the second pass is not read as more words
  std::string bytes;
  for (const auto& line : lines) bytes += std::string(line.on) + "ABCDEFGHIJ" + line.off + "\r\n";
  const auto words = testing::ReadPdfWords(Render(bytes));
  ASSERT_EQ(words.size(), std::size(lines) + 4);  // and the four footer words
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    EXPECT_EQ(words[i].text, "ABCDEFGHIJ");
    EXPECT_NEAR(words[i].xMin, 230, 0.5) << i;
    EXPECT_NEAR(words[i].yMin, 253.0 + 100.0 * static_cast<double>(i), 0.5) << i;
    EXPECT_NEAR(words[i].xMax - words[i].xMin, 10 * lines[i].pitch, 1.0) << i;
  }
  // The footer, in bold, is one third of an inch below the line the job ended on (after the last CRLF).
  const auto& footer = words[std::size(lines)];
  EXPECT_EQ(footer.text, "Gedruckt");
  EXPECT_NEAR(footer.xMin, 230, 0.5);
  EXPECT_NEAR(footer.yMin, words[std::size(lines) - 1].yMin + 100 + 200, 0.5);
  const auto fonts = testing::ReadPdfFonts(dir_.File("job.pdf"));
  EXPECT_TRUE(std::ranges::any_of(fonts, [](auto& row) { return row.find("Bold") != row.npos; }));
}

TEST_F(PdfOutputTest, DocumentIsTitledWithEmbeddedFontsDosCharactersAndPagesPerFormFeed) {
  // The second form feed ends the data: it adds no page.
  const std::string pdf = Render(
      "\x84\x94\x81\xE1\r\n\xDA\xC4\xBF\xB3\r\n\x0c\x1b"
      "EFett\x1bp\x01prop\x0c");
  const auto words = testing::ReadPdfWords(pdf);
  ASSERT_GE(words.size(), 2u);
  EXPECT_EQ(words[0].text, "äöüß");
  EXPECT_EQ(words[1].text, "┌─┐│");
  auto info = testing::ReadPdfInfo(pdf);
  EXPECT_EQ(info["Title"], "DOS Job");
  EXPECT_EQ(info["Pages"], "2");
  const auto fonts = testing::ReadPdfFonts(pdf);
  ASSERT_GE(fonts.size(), 3u);
  for (const auto& row : fonts) EXPECT_NE(row.find(" yes "), std::string::npos) << row;
  // Basic prints code page 437 whatever the code page asked for: 0x9B is ¢, not 850's ø.
  testing::WriteFileBytes(dir_.File("job.prn"), "\x9b");
  ASSERT_EQ(Run({"--codepage", "850", "job.prn"}).exitCode, 0);
  EXPECT_EQ(testing::ReadPdfWords(dir_.File("job.pdf")).at(0).text, "¢");
}

TEST_F(PdfOutputTest, PrinterFolderGetsNewFilesNamedByTimeAndOverwritesNothing) {
  const std::string folder = dir_.File("pdf");
  std::filesystem::create_directories(folder);
  // Occupy the first names of this second and the next few.
  std::vector<std::string> occupied;
  for (int second = 0; second < 4; ++second) {
    const QString stamp = QDateTime::currentDateTime().addSecs(second).toString("yyyyMMdd-HHmmss");
    occupied.push_back("DOS-Job-" + stamp.toStdString() + "-001.pdf");
    testing::WriteFileBytes(folder + "/" + occupied.back(), "keep");
  }
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Run({"-p", "PDF:" + folder, "job.prn"}).exitCode, 0);
  for (const auto& name : occupied) EXPECT_EQ(testing::ReadFileBytes(folder + "/" + name), "keep") << name;
  std::vector<std::string> made;
  std::ranges::set_difference(Listing(folder), occupied, std::back_inserter(made));
  ASSERT_EQ(made.size(), 3u);
  const std::regex kName(R"(DOS-Job-\d{8}-\d{6}-\d{3}\.pdf)");
  for (const auto& name : made) EXPECT_TRUE(std::regex_match(name, kName)) << name;
}

TEST_F(PdfOutputTest, FailuresExitNonZeroSayWhyAndLeaveNoFile) {
  std::filesystem::create_directories(dir_.File("full"));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string shell;
    std::string err;  // a part of the one line on standard error
  } cases[] = {
      {{"--dpi", "abc", "job.prn"}, 2, "", "--dpi needs"},
      {{"--border-left"}, 2, "", "--border-left needs a value"},
      {{"--frobnicate", "job.prn"}, 2, "", "quillmark-render: unknown option --frobnicate; try --help\n"},
      {{"--paper", "A7", "job.prn"}, 2, "", "--paper needs A3-A6, B4, B5, Letter, Legal, Executive"},
      {{"missing.prn"}, 2, "", "cannot read missing.prn: No such file"},
      {{"-o", "x.pdf"}, 1, "", "standard input is empty; nothing printed"},
      {{"-o", "no/dir/x.pdf", "job.prn"}, 1, "", "cannot write no/dir/x.pdf: No such file or directory"},
      {{"-p", "PDF:job.prn/pdf", "job.prn"}, 1, "", ""},  // the folder cannot be made
      // A file size limit makes the writes fail part way, as a full disk would.
      {{"-p", "PDF:full", "job.prn"}, 1, "trap '' XFSZ; ulimit -f 4", ""}};
  for (const auto& c : cases) {
    const ProgramResult result = Run(c.args, c.shell);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.front() << " " << c.args.back() << ": " << result.err;
    EXPECT_FALSE(result.err.empty()) << c.args.front();
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
  }
  EXPECT_EQ(Listing(dir_.path()), (std::vector<std::string>{"full", "job.prn"}));
}

}  // namespace
}  // namespace quillmark
