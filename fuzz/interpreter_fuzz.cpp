// Feeds arbitrary spool data through the print worker's handling of one job: PrintDocument, the keeping of
// an undelivered document's data, ReleaseDevice. The first input byte picks the printer (its bit 7: the
// take stayed in its spool file, so the document must be dropped undelivered), the second its
// faults: bit 0 refuses delivery, bit 1 makes saving the data fail, bits 2-7 say which of every six font
// requests cannot be made. The rest is the spool data, in a heap buffer of exactly its length so that the
// address sanitizer catches any read past it.
//
// Aborts when more than the job's current font is alive while another is made, when a font or the device
// outlives the job, when a document that did not arrive is not logged with its reason and where its
// data went (or that its data could not be kept, which keeps the job), or when a dropped one is.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "emulation/basic/interpreter.h"
#include "emulation/printer_document.h"
#include "fuzz_print_system.h"
#include "spool/print_worker.h"

namespace quillmark {
namespace {

constexpr Resolution kPrinters[] = {
    {0, 0}, {180, 0}, {300, 17}, {600, 100}, {1200, 0}, {std::numeric_limits<std::int32_t>::max(), 5},
};

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using namespace quillmark;
  if (size < 3) return 0;  // a queued job always holds at least one byte
  const Resolution resolution = kPrinters[input[0] % std::size(kPrinters)];
  const std::uint8_t faults = input[1];
  const std::size_t length = size - 2;
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;

  FuzzPrintSystem printers({.resolution = resolution,
                            .refuseDelivery = (faults & 1) != 0,
                            .failingFonts = static_cast<std::uint8_t>(faults >> 2),
                            .oneFontAlive = true});
  PrintJob job;
  job.Settings.Printer.Assign("Fuzz");
  job.Settings.CharSet = 255;
  job.Settings.BorderLeft = 9.75f;
  job.Settings.BorderTop = 10.7f;
  job.DataLength = static_cast<std::int32_t>(length);
  job.Data = SpoolData(new std::uint8_t[length]);
  std::memcpy(job.Data.get(), input + 2, length);

  const bool stayed = (input[0] & 0x80) != 0;
  if (stayed) {
    job.Gate = std::make_shared<TakeGate>();
    job.Gate->Settle(false, {});
  }

  FuzzFileSystem files((faults & 2) != 0);
  TakeStore store(files);
  NullClock clock;
  const ErrorLog log(files, clock);
  const bool settled = PrintOneJob(job, printers, store, log);
  const bool delivered = !stayed && resolution.dpi != 0 && (faults & 1) == 0;
  // Undelivered: why (no printer, or it did not take the document), then where the data went, or that it
  // could not be kept. Dropped: nothing about its data.
  if (stayed ? (files.keptReports != 0 || !settled)
             : (files.keptReports != (delivered ? 0 : 1) || files.entries != (delivered ? 0 : 2) ||
                settled != (delivered || (faults & 2) == 0))) {
    std::abort();
  }
  if (!printers.fonts.empty() || printers.openDevices != 0 ||
      (job.Data == nullptr) != settled)
    std::abort();
  return 0;
}
