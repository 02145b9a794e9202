#include "spool/print_worker.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

// A printer that takes the document but never delivers it; the bytes must be kept, or their loss logged.
TEST(PrintWorkerTest, UndeliveredDocumentIsKept) {
  for (const bool saveFails : {false, true}) {
    SCOPED_TRACE(saveFails ? "cannot be saved" : "saved");
    testing::RecordingPrintSystem printers;
    printers.AddPrinter("Refuser", testing::FakePrinter{.delivers = false});
    testing::MemoryFileSystem files;
    files.FailSaves(saveFails);
    testing::FixedClock clock;
    ErrorLog log(files, clock);
    PrintJob job;
    job.Settings.Printer.Assign("Refuser");
    job.DataLength = 5;
    job.Data.reset(new std::uint8_t[5]{'b', 'y', 't', 'e', 's'});
    PrintOneJob(job, printers, files, log);

    const std::string kept = saveFails ? "Druckdaten (5 Bytes) konnten nicht unter 'Ungedruckt' gespeichert "
                                         "werden und sind verloren."
                                       : "Druckdaten gespeichert unter 'Ungedruckt/saved-1.prn'.";
    const std::string logged = files.Get("Error.log");
    EXPECT_NE(logged.find("| 0 | Drucker 'Refuser' konnte das Dokument nicht ausgeben."), std::string::npos);
    EXPECT_NE(logged.find("| 0 | " + kept), std::string::npos) << logged;
    EXPECT_EQ(files.Get("Ungedruckt/saved-1.prn"), saveFails ? "" : "bytes");
    EXPECT_EQ(printers.OpenDevices(), 0);
    EXPECT_EQ(printers.LiveFonts(), 0u);
  }
}

}  // namespace
}  // namespace quillmark
