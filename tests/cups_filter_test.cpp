// quillmark-cups, the CUPS filter: the job options it reads, bad input through the real binary, and a DOS
// queue on the private CUPS server (scripts/cups-test-server.sh) that prints what quillmark-render prints.

#include <gtest/gtest.h>

#include <random>

#include "platform/cups/cups_job_options.h"
#include "support/cups_test_server.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ProgramResult;

TEST(CupsFilter, JobOptionsChooseEmulationCodePagePaperAndBorders) {
  struct Row {
    const char* options;
    const char* ppdDefault;
    Emulation mode;
    int codePage;
    float width, height, top, left;
    std::size_t warnings;
  };
  const Row rows[] = {
      {"", "", Emulation::kBasic, 437, 210, 297, 10.7f, 9.75f, 0},
      {"quillmark-emulation=escp2 quillmark-codepage=850 quillmark-border-top=5 quillmark-border-left=0.5",
       "", Emulation::kEscP2, 850, 210, 297, 5, 0.5f, 0},
      {"media=letter", "", Emulation::kBasic, 437, 215.9f, 279.4f, 10.7f, 9.75f, 0},
      {"media=na_letter_8.5x11in landscape", "A4", Emulation::kBasic, 437, 279.4f, 215.9f, 10.7f, 9.75f, 0},
      {"PageSize=Legal media=iso_a4_210x297mm", "", Emulation::kBasic, 437, 215.9f, 355.6f, 10.7f, 9.75f, 0},
      {"media=main,iso-a5 orientation-requested=4", "", Emulation::kBasic, 437, 210, 148, 10.7f, 9.75f, 0},
      {"PageSize=Custom.100x150mm landscape=false", "", Emulation::kBasic, 437, 100, 150, 10.7f, 9.75f, 0},
      {"copies=2", "Letter", Emulation::kBasic, 437, 215.9f, 279.4f, 10.7f, 9.75f, 0},
      {"quillmark-emulation=pcl quillmark-codepage=x quillmark-border-top=-1 quillmark-border-left=1e9 "
       "media=x",
       "Letter", Emulation::kBasic, 437, 215.9f, 279.4f, 10.7f, 9.75f, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    std::vector<std::string> warnings;
    const JobSettings settings = CupsJobSettings(row.options, row.ppdDefault, warnings);
    EXPECT_EQ(settings.Mode, row.mode);
    EXPECT_EQ(settings.CodePage, row.codePage);
    EXPECT_NEAR(settings.PaperWidth, row.width, 0.01);
    EXPECT_NEAR(settings.PaperHeight, row.height, 0.01);
    EXPECT_EQ(settings.BorderTop, row.top);
    EXPECT_EQ(settings.BorderLeft, row.left);
    EXPECT_EQ(settings.PositionMode, 1);
    EXPECT_EQ(warnings.size(), row.warnings);
  }
  EXPECT_EQ(PpdDefaultPageSize(std::string(QUILLMARK_SOURCE_DIR) + "/data/cups/quillmark.ppd"), "A4");
}

TEST(CupsFilter, BadInputEndsInAPdfOrAnErrorNeverInAHangOrCrash) {
  std::mt19937 random(14);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  struct Row {
    const char* name;
    std::string bytes;
    bool pdf;
  };
  const Row rows[] = {
      {"empty", "", false},
      {"random bytes", noise, true},
      {"cut in a command", std::string("Text\r\n\x1bQ", 8), true},
      {"cut in a command's data", std::string("Text\r\n\x1b*\x27\xff\x00\x01\x02", 11), true},
  };
  for (const Row& row : rows) {
    for (const char* options : {"", "quillmark-emulation=escp2"}) {
      SCOPED_TRACE(std::string(row.name) + " " + options);
      const ProgramResult result =
          testing::RunProgram({testing::BuiltProgram("quillmark-cups"), "7", "user", "title", "1", options},
                              "/tmp", 30s, {}, &row.bytes);
      ASSERT_FALSE(result.timedOut);
      EXPECT_EQ(result.signal, 0);
      EXPECT_EQ(result.exitCode, row.pdf ? 0 : 1) << result.err;
      if (row.pdf) {
        EXPECT_TRUE(result.out.starts_with("%PDF-") && result.out.find("%%EOF") != std::string::npos);
      } else {
        EXPECT_NE(result.err.find("ERROR: "), std::string::npos) << result.err;
      }
    }
  }
}

TEST(CupsFilter, DosQueuePrintsWhatQuillmarkRenderPrintsForEachClient) {
  if (const auto missing = testing::CupsTestServerMissing(); !missing.empty()) GTEST_SKIP() << missing;
  if (!testing::FileExists("/usr/bin/lpr")) GTEST_SKIP() << "lpr (cups-bsd) is not installed";
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
  const std::string source = QUILLMARK_SOURCE_DIR;
  testing::CupsServer server({source + "/data/cups/quillmark.types", source + "/data/cups/quillmark.convs",
                              testing::BuiltProgram("quillmark-cups")});
  ASSERT_TRUE(server.error.empty()) << "the CUPS test server did not start: " << server.error;
  const testing::EnvChanges cups = {"CUPS_SERVER=" + server.values["CUPS_SERVER"]};
  testing::TempDir dir;
  // The queue as the README sets it up; SNMP is off because the virtual printer would keep each job waiting
  // for its answer.
  const ProgramResult added = testing::RunProgram(
      {"/usr/sbin/lpadmin", "-p", "DOS", "-E", "-v", server.values["CUPS_TEST_PRINTER_URI"] + "?snmp=false",
       "-P", source + "/data/cups/quillmark.ppd"},
      dir.path(), 30s, cups);
  ASSERT_EQ(added.exitCode, 0) << added.err;

  // Each client's job begins with its own word. An explicit format; none, with data that CUPS types as raw
  // printer data; none, typed as plain text by its name; a second user at the same time.
  struct Job {
    std::string firstWord, file, bytes;
    std::vector<std::string> command;
  };
  const Job jobs[] = {
      {"Bericht",
       "bericht.prn",
       "Bericht 1\r\n\x1b"
       "Efett\x1b"
       "F normal\r\n\x0cSeite 2\r\n",
       {"/usr/bin/lp", "-d", "DOS", "-o", "document-format=application/vnd.epson.escp", "bericht.prn"}},
      {"Buchhaltung",
       "dosjob",
       "\x1b@Buchhaltung \x84\x94\x81\r\n\x1b\x0f"
       "eng\x12\r\n",
       {"/usr/bin/lpr", "-P", "DOS", "dosjob"}},
      {"Notizen",
       "notizen.txt",
       "Notizen von user2\r\n",
       {"/usr/bin/lp", "-U", "user2", "-d", "DOS", "notizen.txt"}},
  };
  std::vector<std::unique_ptr<testing::RunningProgram>> clients;
  for (const Job& job : jobs) {
    testing::WriteFileBytes(dir.File(job.file), job.bytes);
    clients.push_back(std::make_unique<testing::RunningProgram>(job.command, dir.path(), cups));
  }
  for (auto& client : clients) {
    const ProgramResult submitted = client->Wait(30s);
    EXPECT_EQ(submitted.exitCode, 0) << submitted.err;
  }
  const std::string received = server.values["CUPS_TEST_RECEIVED"];
  std::map<std::string, std::string> printed;  // first word -> received PDF
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        for (int n = 1; n <= 9; ++n) {
          const std::string pdf = received + "/job-" + std::to_string(n) + ".pdf";
          if (testing::FileExists(pdf)) printed[testing::ReadPdfWords(pdf).at(0).text] = pdf;
        }
        return printed.size() == std::size(jobs);
      },
      60s))
      << printed.size() << " of 3 jobs printed; cupsd's log:\n"
      << testing::ReadFileBytes(server.values["CUPS_TEST_DIR"] + "/log/error_log");

  for (const Job& job : jobs) {
    SCOPED_TRACE(job.firstWord);
    const std::string expected = dir.File(job.file + ".pdf");
    ASSERT_EQ(testing::RunProgram({testing::BuiltProgram("quillmark-render"), "-o", expected, job.file},
                                  dir.path(), 60s)
                  .exitCode,
              0);
    EXPECT_EQ(testing::ReadPdfInfo(printed[job.firstWord])["Pages"], testing::ReadPdfInfo(expected)["Pages"]);
    const auto want = testing::ReadPdfWords(expected);
    const auto got = testing::ReadPdfWords(printed[job.firstWord]);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].text, want[i].text);
      EXPECT_EQ(got[i].page, want[i].page);
      EXPECT_NEAR(got[i].xMin, want[i].xMin, 0.5);
      EXPECT_NEAR(got[i].yMin, want[i].yMin, 0.5);
    }
  }
}

}  // namespace
}  // namespace quillmark
