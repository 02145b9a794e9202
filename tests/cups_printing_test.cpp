// Printing on a real CUPS queue: a private cupsd with a virtual IPP printer that keeps what it receives
// (scripts/cups-test-server.sh), reached by quillmark-render and, through a DOS queue, by quillmark-cups.
// Skipped only when the CUPS tools are not installed.

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/printing/linux_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ProgramResult;

const std::string kSource = QUILLMARK_SOURCE_DIR;

ProgramResult Script(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"/bin/bash", kSource + "/scripts/cups-test-server.sh"});
  return testing::RunProgram(arguments, "/tmp", 60s);
}

// The private server, with this process's own CUPS clients (Qt's and ours) directed to it. `extraFiles`
// become its filters and MIME files.
struct CupsServer {
  explicit CupsServer(std::vector<std::string> extraFiles = {}) {
    extraFiles.insert(extraFiles.begin(), "start");
    const ProgramResult started = Script(extraFiles);
    error = started.exitCode == 0 ? "" : started.err;
    static const std::regex kValue("(\\w+)=(.*)");
    for (std::sregex_iterator m(started.out.begin(), started.out.end(), kValue), end; m != end; ++m) {
      values[(*m)[1]] = (*m)[2];
    }
    setenv("CUPS_SERVER", values["CUPS_SERVER"].c_str(), 1);
    cupsSetServer(nullptr);
  }
  ~CupsServer() {
    if (values.count("CUPS_TEST_DIR") != 0) Script({"stop", values["CUPS_TEST_DIR"]});
    unsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);
  }
  std::map<std::string, std::string> values;
  std::string error;
};

// Why the private server cannot run here; empty when it can.
std::string Missing() {
  for (const char* tool : {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/sbin/ippeveprinter",
                           "/usr/bin/ipptool", "/usr/sbin/avahi-daemon", "/usr/bin/dbus-daemon",
                           "/usr/bin/lpstat", "/usr/bin/lpr", "/usr/bin/pdftotext", "/usr/bin/pdfinfo"}) {
    if (!testing::FileExists(tool)) return std::string(tool) + " is not installed";
  }
  return geteuid() == 0 ? "" : "the private CUPS server needs root";
}

TEST(CupsPrinting, JobArrivesWithTitleTextAndPagesAndAStoppedSchedulerMeansNotDelivered) {
  if (const std::string missing = Missing(); !missing.empty()) GTEST_SKIP() << missing;
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

  LinuxPrintSystem system;
  JobSettings settings;
  // A queue whose papers leave 42 points at the top and 50 at the bottom: the page starts below the top one.
  std::string ppd = testing::ReadFileBytes(kSource + "/data/cups/quillmark.ppd");
  for (const auto& [from, to] : {std::pair{"12 12 583.28 829.89", "20 50 575 799.89"}, {"12 12 600 780", "20 50 600 750"},
                                 {"12 12 600 996", "20 50 600 966"}, {"12 12 407.53 583.28", "20 50 407.53 553.28"}}) {
    ppd.replace(ppd.find(from), std::string_view(from).size(), to);
  }
  testing::WriteFileBytes(dir.File("margins.ppd"), ppd);
  ASSERT_EQ(testing::RunProgram({"/usr/sbin/lpadmin", "-p", "Margins", "-E", "-v",
                                 server.values["CUPS_TEST_PRINTER_URI"] + "?snmp=false", "-P",
                                 dir.File("margins.ppd")},
                                dir.path(), 30s, {"CUPS_SERVER=" + server.values["CUPS_SERVER"]})
                .exitCode,
            0);
  settings.Printer.Assign("Margins");
  auto margins = system.OpenDevice(settings);
  ASSERT_TRUE(margins);
  EXPECT_EQ(margins->PhysicalOffsetX(), std::lround(20.0 * margins->DotsPerInchX() / 72));
  EXPECT_EQ(margins->PhysicalOffsetY(), 42 * margins->DotsPerInchY() / 72);
  settings.Printer.Assign("Office");
  auto device = system.OpenDevice(settings);
  ASSERT_TRUE(device);
  ASSERT_EQ(Script({"stop-cupsd", server.values["CUPS_TEST_DIR"]}).exitCode, 0);
  device->StartDocument("DOS Job");
  device->StartPage();
  device->EndPage();
  device->EndDocument();
  EXPECT_FALSE(device->Delivered());
}

// A queue set up as the README says, three clients at once: a job that names its format and paper, one from
// lpr that CUPS types as raw printer data (it starts with ESC @), one typed as text by its name from a second
// user. Each must arrive as the PDF quillmark-render makes of the same bytes.
TEST(CupsPrinting, DosQueuePrintsEveryClientsJobAsQuillmarkRenderDoes) {
  if (const std::string missing = Missing(); !missing.empty()) GTEST_SKIP() << missing;
  CupsServer server({kSource + "/data/cups/quillmark.types", kSource + "/data/cups/quillmark.convs",
                     testing::BuiltProgram("quillmark-cups")});
  ASSERT_TRUE(server.error.empty()) << "the CUPS test server did not start: " << server.error;
  const testing::EnvChanges cups = {"CUPS_SERVER=" + server.values["CUPS_SERVER"]};
  testing::TempDir dir;
  // SNMP off: the virtual printer never answers it, and each job would wait seconds for it.
  ASSERT_EQ(testing::RunProgram({"/usr/sbin/lpadmin", "-p", "DOS", "-E", "-v",
                                 server.values["CUPS_TEST_PRINTER_URI"] + "?snmp=false", "-P",
                                 kSource + "/data/cups/quillmark.ppd"},
                                dir.path(), 30s, cups)
                .exitCode,
            0);
  const std::map<std::string, std::pair<std::string, std::vector<std::string>>> jobs = {
      {"Bericht",
       {"Bericht 1\r\n\033Efett\033F\r\n\014Seite 2\r\n",
        {"/usr/bin/lp", "-d", "DOS", "-o", "media=A4", "-o", "document-format=application/vnd.epson.escp",
         "Bericht"}}},
      {"Buchhaltung",
       {"\033@Buchhaltung \204\224\201\r\n\033\017eng\022\r\n",
        {"/usr/bin/lpr", "-P", "DOS", "Buchhaltung"}}},
      {"Notizen", {"Notizen von user2\r\n", {"/usr/bin/lp", "-U", "user2", "-d", "DOS", "Notizen.txt"}}},
  };
  std::vector<std::unique_ptr<testing::RunningProgram>> clients;
  for (const auto& [word, job] : jobs) {
    testing::WriteFileBytes(dir.File(job.second.back()), job.first);
    clients.push_back(std::make_unique<testing::RunningProgram>(job.second, dir.path(), cups));
  }
  for (auto& client : clients) EXPECT_EQ(client->Wait(30s).exitCode, 0);
  std::map<std::string, std::string> printed;  // first word -> the PDF the printer received
  const bool allPrinted = testing::WaitUntil(
      [&] {
        for (int n = 1; n <= 9; ++n) {
          const std::string pdf = server.values["CUPS_TEST_RECEIVED"] + "/job-" + std::to_string(n) + ".pdf";
          if (testing::FileExists(pdf)) printed[testing::ReadPdfWords(pdf).at(0).text] = pdf;
        }
        return printed.size() == jobs.size();
      },
      60s);
  ASSERT_TRUE(allPrinted) << testing::ReadFileBytes(server.values["CUPS_TEST_DIR"] + "/log/error_log");

  // Page count, then every word with its page and position in dots, as poppler reads them back.
  const auto layout = [](const std::string& pdf) {
    std::string text = testing::ReadPdfInfo(pdf)["Pages"] + " pages:";
    for (const auto& w : testing::ReadPdfWords(pdf)) {
      text += " " + w.text + "@" + std::to_string(w.page) + ":" + std::to_string(std::lround(w.xMin)) + "," +
              std::to_string(std::lround(w.yMin));
    }
    return text;
  };
  for (const auto& [word, job] : jobs) {
    const std::string expected = dir.File(word + ".pdf");
    const std::string& file = job.second.back();
    ASSERT_EQ(testing::RunProgram({testing::BuiltProgram("quillmark-render"), "-o", expected, file},
                                  dir.path(), 60s)
                  .exitCode,
              0);
    EXPECT_EQ(layout(printed[word]), layout(expected));
  }
}

}  // namespace
}  // namespace quillmark
