// Printing on a real CUPS queue: a private cupsd with a virtual IPP printer that keeps what it receives
// (scripts/cups-test-server.sh). Skipped only when the CUPS tools are not installed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cups/cups.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ProgramResult;

const std::string kScript = std::string(QUILLMARK_SOURCE_DIR) + "/scripts/cups-test-server.sh";

std::string MissingCupsTool() {
  for (const char* tool : {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/sbin/ippeveprinter", "/usr/bin/ipptool",
                           "/usr/sbin/avahi-daemon", "/usr/bin/dbus-daemon", "/usr/bin/lpstat"}) {
    if (!testing::FileExists(tool)) return tool;
  }
  return {};
}

class CupsPrinting : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!MissingCupsTool().empty() || !testing::PopplerInstalled() || geteuid() != 0) return;
    const ProgramResult started = testing::RunProgram({"/bin/bash", kScript, "start"}, "/tmp", 60s);
    std::istringstream lines(started.out);
    for (std::string line; std::getline(lines, line);) {
      const auto equals = line.find('=');
      if (equals != std::string::npos) server_[line.substr(0, equals)] = line.substr(equals + 1);
    }
    startError_ = started.exitCode == 0 ? "" : started.err;
    if (!startError_.empty()) return;
    // This process's own CUPS clients (Qt's and ours) go to the private server.
    setenv("CUPS_SERVER", server_["CUPS_SERVER"].c_str(), 1);
    cupsSetServer(nullptr);
  }

  static void TearDownTestSuite() {
    if (server_.count("CUPS_TEST_DIR") != 0) {
      testing::RunProgram({"/bin/bash", kScript, "stop", server_["CUPS_TEST_DIR"]}, "/tmp", 60s);
    }
    server_.clear();
    unsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);
  }

  void SetUp() override {
    if (const std::string tool = MissingCupsTool(); !tool.empty()) GTEST_SKIP() << tool << " is not installed";
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
    if (geteuid() != 0) GTEST_SKIP() << "the private CUPS server needs root";
    ASSERT_TRUE(startError_.empty()) << "the CUPS test server did not start: " << startError_;
    testing::EnsureQtApplication();
  }

  static std::string Received(int job, const char* ending) {
    return server_["CUPS_TEST_RECEIVED"] + "/job-" + std::to_string(job) + ending;
  }
  static int ReceivedCount() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(server_["CUPS_TEST_RECEIVED"])) {
      count += entry.path().extension() == ".pdf";
    }
    return count;
  }

  ProgramResult RenderOnOffice(const std::string& bytes) {
    testing::WriteFileBytes(dir_.File("job.prn"), bytes);
    return testing::RunProgram({testing::BuiltProgram("quillmark-render"), "--printer", "Office", "job.prn"},
                               dir_.path(), 60s, {"CUPS_SERVER=" + server_["CUPS_SERVER"]});
  }

  static std::map<std::string, std::string> server_;
  static std::string startError_;
  testing::TempDir dir_;
};

std::map<std::string, std::string> CupsPrinting::server_;
std::string CupsPrinting::startError_;

TEST_F(CupsPrinting, DeviceTakesResolutionAndMarginsFromTheQueue) {
  QtPrintSystem system;
  JobSettings settings;
  settings.Printer.Assign("Office");
  auto device = system.OpenDevice(settings);
  ASSERT_TRUE(device);
  // The virtual printer: 600 dots per inch, Letter with a quarter-inch hardware margin.
  EXPECT_EQ(device->DotsPerInchX(), 600);
  EXPECT_EQ(device->PhysicalOffsetX(), 150);
  EXPECT_EQ(device->PhysicalOffsetY(), 150);
  settings.Printer.Assign("Quillmark-No-Such-Queue");
  EXPECT_EQ(system.OpenDevice(settings), nullptr);
}

TEST_F(CupsPrinting, JobArrivesTitledWithItsTextAndPagesAtScale) {
  const int before = ReceivedCount();
  const ProgramResult result = RenderOnOffice("Hallo CUPS \x84\x94\x81\r\n\x0cSeite 2\r\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const int job = before + 1;
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::FileExists(Received(job, ".name")); }, 30s))
      << "the printer received nothing";
  EXPECT_EQ(testing::ReadFileBytes(Received(job, ".name")), "DOS Job\n");
  const std::string pdf = Received(job, ".pdf");
  EXPECT_EQ(testing::ReadPdfInfo(pdf)["Pages"], "2");
  const auto words = testing::ReadPdfWords(pdf);
  ASSERT_GE(words.size(), 4u);
  EXPECT_EQ(words[0].text, "Hallo");
  EXPECT_EQ(words[2].text, "äöü");
  EXPECT_EQ(words.back().text, "1.0");
  EXPECT_EQ(words.back().page, 2);
  // Printed 1:1: the first cell sits at the borders measured from the paper's edges (9.75 mm, 10.7 mm).
  EXPECT_NEAR(words[0].xMin, 9.75 / 25.4 * 72, 0.2);
  EXPECT_NEAR(words[0].yMin, 10.7 / 25.4 * 72, 0.2);
}

TEST_F(CupsPrinting, StoppedSchedulerMeansNotDelivered) {
  QtPrintSystem system;
  JobSettings settings;
  settings.Printer.Assign("Office");
  auto device = system.OpenDevice(settings);
  ASSERT_TRUE(device);
  const std::string dir = server_["CUPS_TEST_DIR"];
  ASSERT_EQ(testing::RunProgram({"/bin/bash", kScript, "stop-cupsd", dir}, "/tmp", 60s).exitCode, 0);

  device->StartDocument("DOS Job");
  device->StartPage();
  device->EndPage();
  device->EndDocument();
  EXPECT_FALSE(device->Delivered());
  // A render finds no such printer while the scheduler is down, and says so.
  const ProgramResult result = RenderOnOffice("verloren?");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("Drucker 'Office' konnte nicht initialisiert werden."), std::string::npos) << result.err;

  const ProgramResult restarted = testing::RunProgram({"/bin/bash", kScript, "start-cupsd", dir}, "/tmp", 60s);
  ASSERT_EQ(restarted.exitCode, 0) << restarted.err;
}

}  // namespace
}  // namespace quillmark
