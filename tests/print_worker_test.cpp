#include "spool/print_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using testing::FakePrinter;

// The transcript lines that show what reached paper, fonts unnumbered; `full` keeps fonts and coordinates.
std::string Outline(const std::string& transcript, bool full = false) {
  std::istringstream lines(transcript);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    const bool font = line.rfind("font ", 0) == 0 || line.rfind("select ", 0) == 0;
    if (font && !full) continue;
    if (line.rfind("text ", 0) == 0 && !full) line = line.substr(0, line.rfind(" at "));
    if (line.rfind("delete ", 0) == 0 || line.rfind("text color", 0) == 0 || line == "transparent") continue;
    out += std::regex_replace(line, std::regex("#[0-9]+"), "#") + "\n";
  }
  return out;
}

// The message field of every entry in an error log.
std::vector<std::string> Messages(const std::string& log) {
  std::vector<std::string> messages;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t at = 0;
    for (int field = 0; field < 5 && at != std::string::npos; ++field) at = line.find(" | ", at + 1);
    messages.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return messages;
}

class PrintWorkerTest : public ::testing::Test {
 protected:
  PrintWorkerTest() { printers_.AddPrinter("Office"); }

  void Queue(const std::string& printer, const std::string& bytes) {
    JobSettings settings;
    settings.JobNumber = 1;
    settings.Printer.Assign(printer);
    settings.CharSet = 255;
    settings.PositionMode = 1;
    SpoolData data(new std::uint8_t[bytes.size()]);
    bytes.copy(reinterpret_cast<char*>(data.get()), bytes.size());
    std::lock_guard lock(state_.QueueLock);
    QueuePrintJob(state_, settings, static_cast<std::int32_t>(bytes.size()), std::move(data));
  }

  // Runs the worker on this thread with the quit flag already set: it prints what is queued and ends.
  void PrintQueued() {
    state_.QuitFlag.store(true);
    const std::atomic<bool> watcherEnded{true};
    PrintWorker(state_, printers_, files_, log_, watcherEnded);
  }

  std::string LogText() const { return files_.Get("Error.log"); }

  ProgramState state_;
  testing::RecordingPrintSystem printers_;
  testing::MemoryFileSystem files_;
  testing::FixedClock clock_;
  ErrorLog log_{files_, clock_};
};

TEST_F(PrintWorkerTest, EveryJobIsOneDocumentInQueueOrder) {
  Queue("Office", "A");
  Queue("Office", "B\r\nC");
  PrintQueued();
  EXPECT_EQ(Outline(printers_.Transcript()),
            "open Office\n"
            "start doc 'DOS Job'\n"
            "page start\n"
            "text 'A'\n"
            "text 'Gedruckt mit Quillmark 1.0'\n"
            "page end\n"
            "end doc\n"
            "release device\n"
            "open Office\n"
            "start doc 'DOS Job'\n"
            "page start\n"
            "text 'B'\n"
            "text 'C'\n"
            "text 'Gedruckt mit Quillmark 1.0'\n"
            "page end\n"
            "end doc\n"
            "release device\n");
  EXPECT_EQ(state_.PrintQueueSize.load(), 0u);
  EXPECT_EQ(printers_.OpenDevices(), 0);
  EXPECT_EQ(printers_.LiveFonts(), 0u);
  EXPECT_EQ(LogText(), "");
}

TEST_F(PrintWorkerTest, SecondJobStartsInTheDefaultPrintMode) {
  Queue("Office", "B");
  PrintQueued();
  const std::string alone = Outline(printers_.Transcript(), true);
  printers_.ClearTranscript();

  // Every mode switched on and never off, then the same job as before.
  Queue("Office",
        "\x0e\x0f\x1b"
        "E\x1bG\x1bW1\x1bw1\x1bp1\x1bg\x1b"
        "0A");
  Queue("Office", "B");
  PrintQueued();
  const std::string both = Outline(printers_.Transcript(), true);
  const std::size_t second = both.find("open Office", 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(both.substr(second), alone);
}

TEST_F(PrintWorkerTest, UndeliveredDocumentKeepsItsBytes) {
  struct Case {
    const char* name;
    const char* printer;
    bool saveFails;
    std::vector<std::string> logged;
    const char* kept;  // contents of the kept file, nullptr: none
  };
  const std::string saved = "Druckdaten gespeichert unter 'Ungedruckt/saved-1.prn'.";
  const Case cases[] = {
      {"delivered", "Office", false, {}, nullptr},
      {"no such printer",
       "Nowhere",
       false,
       {"Drucker 'Nowhere' konnte nicht initialisiert werden.", saved},
       "bytes"},
      {"refused by the printer",
       "Refuser",
       false,
       {"Drucker 'Refuser' konnte das Dokument nicht ausgeben.", saved},
       "bytes"},
      {"cannot even be saved",
       "Nowhere",
       true,
       {"Drucker 'Nowhere' konnte nicht initialisiert werden.",
        "Druckdaten (5 Bytes) konnten nicht unter 'Ungedruckt' gespeichert werden und sind verloren."},
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RecordingPrintSystem printers;
    printers.AddPrinter("Office");
    FakePrinter refuser;
    refuser.delivers = false;
    printers.AddPrinter("Refuser", refuser);
    testing::MemoryFileSystem files;
    files.FailSaves(c.saveFails);
    ErrorLog log(files, clock_);

    PrintJob job;
    job.Settings.Printer.Assign(c.printer);
    job.DataLength = 5;
    job.Data.reset(new std::uint8_t[5]{'b', 'y', 't', 'e', 's'});
    PrintOneJob(job, printers, files, log);

    EXPECT_EQ(Messages(files.Get("Error.log")), c.logged);
    EXPECT_EQ(files.Exists("Ungedruckt/saved-1.prn"), c.kept != nullptr);
    if (c.kept != nullptr) {
      EXPECT_EQ(files.Get("Ungedruckt/saved-1.prn"), c.kept);
    }
    EXPECT_EQ(job.Data, nullptr);
    EXPECT_EQ(job.DeviceContext, nullptr);
    EXPECT_EQ(printers.OpenDevices(), 0);
    EXPECT_EQ(printers.LiveFonts(), 0u);
  }
}

TEST_F(PrintWorkerTest, JobAfterAMissingPrinterPrintsNormally) {
  Queue("Nowhere", "lost?");
  Queue("Office", "Z");
  PrintQueued();
  const std::string outline = Outline(printers_.Transcript());
  EXPECT_NE(outline.find("open Office\nstart doc 'DOS Job'\npage start\ntext 'Z'\n"), std::string::npos)
      << outline;
  EXPECT_EQ(files_.Get("Ungedruckt/saved-1.prn"), "lost?");
  EXPECT_EQ(Messages(LogText()),
            (std::vector<std::string>{"Drucker 'Nowhere' konnte nicht initialisiert werden.",
                                      "Druckdaten gespeichert unter 'Ungedruckt/saved-1.prn'."}));
}

}  // namespace
}  // namespace quillmark
