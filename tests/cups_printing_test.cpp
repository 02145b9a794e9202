// Printing on a real CUPS queue: a private cupsd with a virtual IPP printer that keeps what it receives
// (scripts/cups-test-server.sh). Skipped only when the CUPS tools are not installed.

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ProgramResult;

ProgramResult Script(const std::string& command, const std::string& dir = "") {
  const std::string script = std::string(QUILLMARK_SOURCE_DIR) + "/scripts/cups-test-server.sh";
  return testing::RunProgram({"/bin/bash", script, command, dir}, "/tmp", 60s);
}

// The private server, with this process's own CUPS clients (Qt's and ours) directed to it.
struct CupsServer {
  CupsServer() {
    const ProgramResult started = Script("start");
    error = started.exitCode == 0 ? "" : started.err;
    static const std::regex kValue("(\\w+)=(.*)");
    for (std::sregex_iterator m(started.out.begin(), started.out.end(), kValue), end; m != end; ++m) {
      values[(*m)[1]] = (*m)[2];
    }
    setenv("CUPS_SERVER", values["CUPS_SERVER"].c_str(), 1);
    cupsSetServer(nullptr);
  }
  ~CupsServer() {
    if (values.count("CUPS_TEST_DIR") != 0) Script("stop", values["CUPS_TEST_DIR"]);
    unsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);
  }
  std::map<std::string, std::string> values;
  std::string error;
};

TEST(CupsPrinting, JobArrivesWithTitleTextAndPagesAndAStoppedSchedulerMeansNotDelivered) {
  for (const char* tool :
       {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/sbin/ippeveprinter", "/usr/bin/ipptool",
        "/usr/sbin/avahi-daemon", "/usr/bin/dbus-daemon", "/usr/bin/lpstat"}) {
    if (!testing::FileExists(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
  if (geteuid() != 0) GTEST_SKIP() << "the private CUPS server needs root";
  testing::EnsureQtApplication();
  CupsServer server;
  ASSERT_TRUE(server.error.empty()) << "the CUPS test server did not start: " << server.error;

  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("job.prn"), "Hallo CUPS \x84\x94\x81\r\n\x0cSeite 2\r\n");
  // The job id as lp prints it; a named paper is the media asked of the printer and sets the page size.
  const struct {
    std::vector<std::string> options;
    int exitCode;
    std::string out, err, pageSize;
  } runs[] = {
      {{"--printer", "Office"}, 0, "request id is Office-1 (1 file(s))\n", "", ""},
      {{"--printer", "Office", "--paper", "Letter"}, 0, "request id is Office-2 (1 file(s))\n", "", "612 x 792"},
      {{"--printer", "Office", "--paper", "a4"}, 0, "request id is Office-3 (1 file(s))\n", "", "595.276 x 841"},
      {{"--printer", "Nope"}, 1, "", "quillmark-render: no printer 'Nope'; CUPS queues: Office\n", ""},
  };
  int job = 0;
  for (const auto& run : runs) {
    std::vector<std::string> command = {testing::BuiltProgram("quillmark-render"), "job.prn"};
    command.insert(command.end(), run.options.begin(), run.options.end());
    const ProgramResult result =
        testing::RunProgram(command, dir.path(), 60s, {"CUPS_SERVER=" + server.values["CUPS_SERVER"]});
    EXPECT_EQ(result.exitCode, run.exitCode) << result.err;
    EXPECT_EQ(result.out, run.out);
    EXPECT_EQ(result.err, run.err);
    if (run.exitCode == 0) ++job;
    if (run.pageSize.empty()) continue;
    const std::string pdf = server.values["CUPS_TEST_RECEIVED"] + "/job-" + std::to_string(job) + ".pdf";
    ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(pdf); }, 30s)) << pdf;
    EXPECT_EQ(testing::ReadPdfInfo(pdf)["Page size"].substr(0, run.pageSize.size()), run.pageSize);
  }
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
  ASSERT_EQ(Script("stop-cupsd", server.values["CUPS_TEST_DIR"]).exitCode, 0);
  device->StartDocument("DOS Job");
  device->StartPage();
  device->EndPage();
  device->EndDocument();
  EXPECT_FALSE(device->Delivered());
}

}  // namespace
}  // namespace quillmark
