// quillmark-cups, the CUPS filter: the job options it reads, and bad input through the real binary. Its
// way through a real cupsd is in cups_printing_test.cpp.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/cups/cups_job_options.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

TEST(CupsFilter, JobOptionsChooseEmulationCodePagePaperAndBorders) {
  struct Row {
    const char* options;
    const char* ppdDefault;
    Emulation mode;
    int codePage;
    float width, height, top, left;
    std::size_t warnings;
  };
  constexpr auto kBasic = Emulation::kBasic;
  const Row rows[] = {
      {"", "", kBasic, 437, 210, 297, 10.7f, 9.75f, 0},
      {"quillmark-emulation=escp2 quillmark-codepage=850 quillmark-border-top=5 quillmark-border-left=0.5",
       "", Emulation::kEscP2, 850, 210, 297, 5, 0.5f, 0},
      {"quillmark-emulation=PCL media=letter", "", Emulation::kPcl, 437, 215.9f, 279.4f, 10.7f, 9.75f, 0},
      {"media=na_letter_8.5x11in landscape", "A4", kBasic, 437, 279.4f, 215.9f, 10.7f, 9.75f, 0},
      {"PageSize=Legal media=iso_a4_210x297mm", "", kBasic, 437, 215.9f, 355.6f, 10.7f, 9.75f, 0},
      {"media=main,iso-a5 orientation-requested=4", "", kBasic, 437, 210, 148, 10.7f, 9.75f, 0},
      {"media=iso-a5 orientation-requested=3", "", kBasic, 437, 148, 210, 10.7f, 9.75f, 0},
      {"media=iso-a5 orientation-requested=5", "", kBasic, 437, 210, 148, 10.7f, 9.75f, 0},
      {"media=iso-a5 orientation-requested=6", "", kBasic, 437, 148, 210, 10.7f, 9.75f, 0},
      {"PageSize=Custom.100x150mm landscape=false", "", kBasic, 437, 100, 150, 10.7f, 9.75f, 0},
      {"quillmark-emulation=auto quillmark-codepage=1252", "", Emulation::kAuto, 437, 210, 297, 10.7f, 9.75f, 1},
      {"copies=2 quillmark-emulation=ESCP", "Letter", Emulation::kEscP, 437, 215.9f, 279.4f, 10.7f, 9.75f, 0},
      {"quillmark-emulation=postscript quillmark-codepage=x quillmark-border-top=-1 quillmark-border-left=1e9 "
       "media=x",
       "Letter", kBasic, 437, 215.9f, 279.4f, 10.7f, 9.75f, 5},
  };
  for (const Row& row : rows) {
    std::vector<std::string> warnings;
    const JobSettings settings = CupsJobSettings(row.options, row.ppdDefault, warnings);
    EXPECT_EQ(std::tie(settings.Mode, settings.CodePage, settings.BorderTop, settings.BorderLeft),
              std::tie(row.mode, row.codePage, row.top, row.left))
        << row.options;
    EXPECT_NEAR(settings.PaperWidth, row.width, 0.01) << row.options;
    EXPECT_NEAR(settings.PaperHeight, row.height, 0.01) << row.options;
    EXPECT_EQ(warnings.size(), row.warnings) << row.options;
  }
  EXPECT_EQ(PpdDefaultPageSize(std::string(QUILLMARK_SOURCE_DIR) + "/data/cups/quillmark.ppd"), "A4");
}

// Every job leaves TMPDIR as it found it, printed or refused.
TEST(CupsFilter, BadInputEndsInAPdfOrAnErrorNeverInAHangOrCrash) {
  const testing::TempDir temporary;
  std::mt19937 random(14);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::pair<std::string, bool> rows[] = {
      // job, whether it makes a PDF
      {"", false},
      {noise, true},
      {std::string(3 << 20, 'x'), true},  // read in more than one block
      {std::string("Text\r\n\x1bQ", 8), true},                        // cut in a command
      {std::string("Text\r\n\x1b*\x27\xff\x00\x01\x02", 11), true}};  // cut in a command's data
  for (const auto& [bytes, pdf] : rows) {
    for (const char* options : {"", "quillmark-emulation=escp2"}) {
      const testing::ProgramResult result =
          testing::RunProgram({testing::BuiltProgram("quillmark-cups"), "7", "user", "title", "1", options},
                              "/tmp", std::chrono::seconds(30), {"TMPDIR=" + temporary.path()}, &bytes);
      const std::string row = std::to_string(bytes.size()) + " bytes, " + options;
      ASSERT_FALSE(result.timedOut) << row;
      EXPECT_EQ(result.exitCode, pdf ? 0 : 1) << row << result.err;
      EXPECT_EQ(result.out.starts_with("%PDF-") && result.out.find("%%EOF") != std::string::npos, pdf) << row;
      const char* error = bytes.empty() ? "ERROR: The job holds no printer data\n" : "ERROR: ";
      EXPECT_EQ(result.err.find(error) != std::string::npos, !pdf) << row << result.err;
      EXPECT_TRUE(std::filesystem::is_empty(temporary.path())) << row;
    }
  }
}

// orientation-requested 3 and 6 print portrait, 4 and 5 landscape: the PDF's page says which. Without a
// paper of its own a job gets the queue's (`lpadmin -o PageSize=Letter` writes it into the queue's PPD).
TEST(CupsFilter, EveryOrientationAndTheQueuesPaperReachThePage) {
  const testing::TempDir temporary;
  testing::WriteFileBytes(temporary.File("DOS.ppd"), "*PPD-Adobe: \"4.3\"\n*DefaultPageSize: Letter\n");
  const std::string job = "Text\r\n";
  for (const auto& [options, size] :
       {std::pair{"media=iso_a4_210x297mm orientation-requested=3", "595 x 842"},
        {"media=iso_a4_210x297mm orientation-requested=4", "842 x 595"},
        {"media=iso_a4_210x297mm orientation-requested=5", "842 x 595"},
        {"media=iso_a4_210x297mm orientation-requested=6", "595 x 842"}, {"", "612 x 792"},
        {"landscape", "792 x 612"}}) {
    const testing::ProgramResult result = testing::RunProgram(
        {testing::BuiltProgram("quillmark-cups"), "7", "user", "title", "1", options}, "/tmp",
        std::chrono::seconds(30), {"TMPDIR=" + temporary.path(), "PPD=" + temporary.File("DOS.ppd")}, &job);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    testing::WriteFileBytes(temporary.File("out.pdf"), result.out);
    EXPECT_NE(testing::ReadPdfInfo(temporary.File("out.pdf"))["Page size"].find(size), std::string::npos)
        << options;
    std::filesystem::remove(temporary.File("out.pdf"));
  }
}

}  // namespace
}  // namespace quillmark
