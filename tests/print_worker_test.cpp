#include "spool/print_worker.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// A delivered document removes its take; an undelivered one moves it to "Ungedruckt/"; one that can be
// neither delivered nor kept stays whole on disk until a later try can keep it. A take that stayed in its
// spool file after all is printed but never delivered. A take's file that was emptied or removed meanwhile
// prints nothing; a removed one is logged.
TEST(PrintWorkerTest, EveryTakeIsDeliveredOrKept) {
  const std::string queued = "Warteschlange/000000000007-1.prn";
  const struct {
    bool delivers;
    bool saveFails;
    std::string logged;
    bool left = false;             // the take stayed in its spool file
    const char* stored = "bytes";  // the take's file when it prints; null: gone
  } cases[] = {
      {true, false, ""},
      {false, false, "| 0 | Druckdaten gespeichert unter 'Ungedruckt/saved-1.prn'."},
      {false, true,
       "| 0 | Druckdaten (5 Bytes) konnten nicht unter 'Ungedruckt' gespeichert werden; der Auftrag bleibt "
       "in "
       "der Warteschlange. (Ungedruckt: No space left on device)\r\n"},
      {true, false, "", true},
      {true, false,
       "| 0 | Druckauftrag '" + queued + "' konnte nicht gelesen werden. (" + queued +
           ": No such file or directory)\r\n",
       false, nullptr},
      {true, false, "", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    testing::RecordingPrintSystem printers;
    printers.AddPrinter("Office", testing::FakePrinter{.delivers = c.delivers});
    testing::MemoryFileSystem files;
    files.FailSaves(c.saveFails);
    if (c.stored != nullptr) files.Put(queued, c.stored);
    TakeStore store(files);
    testing::FixedClock clock;
    ErrorLog log(files, clock);
    PrintJob job;
    job.Settings.Printer.Assign("Office");
    job.DataLength = 5;
    job.QueueFile = queued;
    job.Gate = std::make_shared<TakeGate>();
    job.Gate->Settle(!c.left, queued);
    EXPECT_EQ(PrintOneJob(job, printers, store, log), !c.saveFails);
    const bool printable = c.stored != nullptr && *c.stored != '\0';
    EXPECT_EQ(printers.Transcript().find("end doc") != std::string::npos, !c.left && printable);
    if (!printable) {
      const std::string logged = files.Get("Error.log");
      EXPECT_TRUE(logged.ends_with(c.logged) && logged.empty() == c.logged.empty()) << logged;
      EXPECT_FALSE(files.Exists(queued));
      EXPECT_EQ(printers.OpenDevices(), 0);
      continue;
    }
    if (c.left) {
      EXPECT_EQ(files.Get("Error.log") + files.Get("Ungedruckt/saved-1.prn"), "");
      continue;
    }

    const std::string logged = files.Get("Error.log");
    EXPECT_EQ(logged.find("Drucker 'Office' konnte das Dokument nicht ausgeben.") != std::string::npos,
              !c.delivers);
    EXPECT_NE(logged.find(c.logged), std::string::npos) << logged;
    EXPECT_EQ(files.Get(queued) + files.Get("Ungedruckt/saved-1.prn"), c.delivers ? "" : "bytes");
    EXPECT_EQ(job.QueueFile.empty(), !c.saveFails);
    EXPECT_EQ(printers.OpenDevices(), 0);
    EXPECT_EQ(printers.LiveFonts(), 0u);
    if (!c.saveFails) continue;
    EXPECT_EQ(KeepUnprintedJob(job, store, log).reason(), "No space left on device");
    files.FailSaves(false);
    EXPECT_TRUE(KeepUnprintedJob(job, store, log).ok());
    EXPECT_EQ(files.Get("Ungedruckt/saved-1.prn"), "bytes");
    EXPECT_FALSE(files.Exists(queued));
  }
}

}  // namespace
}  // namespace quillmark
