// Printing on a real CUPS queue: a private cupsd with a virtual IPP printer that keeps what it receives
// (scripts/cups-test-server.sh). Skipped only when the CUPS tools are not installed.

#include <gtest/gtest.h>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/cups_test_server.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::CupsServer;
using testing::ProgramResult;

TEST(CupsPrinting, JobArrivesWithTitleTextAndPagesAndAStoppedSchedulerMeansNotDelivered) {
  if (const auto missing = testing::CupsTestServerMissing(); !missing.empty()) GTEST_SKIP() << missing;
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
  testing::EnsureQtApplication();
  CupsServer server;
  ASSERT_TRUE(server.error.empty()) << "the CUPS test server did not start: " << server.error;

  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("job.prn"), "Hallo CUPS \x84\x94\x81\r\n\x0cSeite 2\r\n");
  const ProgramResult result =
      testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--printer", "Office", "job.prn"},
                          dir.path(), 60s, {"CUPS_SERVER=" + server.values["CUPS_SERVER"]});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string received = server.values["CUPS_TEST_RECEIVED"] + "/job-1";
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(received + ".name"); }, 30s))
      << "the printer received nothing";
  EXPECT_EQ(testing::ReadFileBytes(received + ".name"), "DOS Job\n");
  EXPECT_EQ(testing::ReadPdfInfo(received + ".pdf")["Pages"], "2");
  const auto words = testing::ReadPdfWords(received + ".pdf");
  ASSERT_GE(words.size(), 4u);
  EXPECT_EQ(words[0].text, "Hallo");
  EXPECT_EQ(words[2].text, "äöü");
  EXPECT_EQ(words.back().page, 2);
  // Printed 1:1: the first cell sits at the borders measured from the paper's edges (9.75 mm, 10.7 mm).
  EXPECT_NEAR(words[0].xMin, 9.75 / 25.4 * 600, 2);
  EXPECT_NEAR(words[0].yMin, 10.7 / 25.4 * 600, 2);

  QtPrintSystem system;
  JobSettings settings;
  settings.Printer.Assign("Office");
  auto device = system.OpenDevice(settings);
  ASSERT_TRUE(device);
  ASSERT_EQ(testing::CupsTestScript({"stop-cupsd", server.values["CUPS_TEST_DIR"]}).exitCode, 0);
  device->StartDocument("DOS Job");
  device->StartPage();
  device->EndPage();
  device->EndDocument();
  EXPECT_FALSE(device->Delivered());
}

}  // namespace
}  // namespace quillmark
