#pragma once
// One whole document of arbitrary spool data under one emulation: OpenPrinterDevice, StartDocument, the
// printer until the data ends, EndDocument, ReleaseDevice. The first input byte picks the printer, the code
// page and the paper; the rest is the spool data, in a heap buffer of exactly its length so that the address
// sanitizer catches any read past it.
//
// Aborts when a released font is selected or released again, when text or a rectangle lands outside the
// device's coordinate range, or when a font or the device outlives the job.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "emulation/printer_document.h"
#include "fuzz_print_system.h"

namespace quillmark {

inline int FuzzDocument(const std::uint8_t* input, std::size_t size, Emulation emulation) {
  static constexpr Resolution kPrinters[] = {
      {0, 0}, {180, 0}, {360, 17}, {600, 100}, {1200, 0}, {std::numeric_limits<std::int32_t>::max(), 5},
  };
  static constexpr std::int32_t kCodePages[] = {437, 850, 852, 857, 858, 860, 863, 865, 866, 895, 1252};
  if (size < 2) return 0;  // a queued job always holds at least one byte
  const Resolution resolution = kPrinters[input[0] % std::size(kPrinters)];
  const std::size_t length = size - 1;
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;

  FuzzPrintSystem printers({.resolution = resolution});
  PrintJob take;
  take.Settings.Printer.Assign("Fuzz");
  take.Settings.Mode = emulation;
  take.Settings.CodePage = kCodePages[(input[0] / std::size(kPrinters)) % std::size(kCodePages)];
  take.Settings.PaperWidth = (input[0] & 0x80) ? 0.0f : 420.0f;
  take.Settings.PaperHeight = (input[0] & 0x80) ? 0.0f : 99.0f;
  take.Settings.BorderLeft = 9.75f;
  take.Settings.BorderTop = 10.7f;
  take.Settings.BorderLeftGiven = take.Settings.BorderTopGiven = (input[0] & 0x40) != 0;
  take.DataLength = static_cast<std::int32_t>(length);
  take.Data = SpoolData(new std::uint8_t[length]);
  std::memcpy(take.Data.get(), input + 1, length);

  FuzzFileSystem files(true);  // the error log of a printer that cannot be opened goes nowhere
  NullClock clock;
  const ErrorLog log(files, clock);
  Printout job(take);
  PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  if (!printers.fonts.empty() || printers.openDevices != 0 || job.Font != 0) std::abort();
  return 0;
}

}  // namespace quillmark
