#pragma once
// The printer a job slot emulates, behind one seam: the document code opens the device, starts the
// document and draws the footer; an emulator turns the take's bytes into pages in between. Each emulator
// keeps its own command state; the page (device, resolution, origin, position, font) is the Printout's.
// Print worker thread only.

#include <memory>

#include "emulation/printer_state.h"
#include "log/error_log.h"
#include "platform/print_device.h"

namespace quillmark {

class Emulator {
 public:
  virtual ~Emulator() = default;
  // Reads every byte of the take on the open document (StartDocument has run, EndDocument follows).
  // Leaves X and Y on the last printed line, which the footer follows. What the printer rejects is
  // logged.
  virtual void Print(Printout& printout, PrintSystem& printers, const ErrorLog& log) = 0;
};

std::unique_ptr<Emulator> MakeEmulator(Emulation emulation);

}  // namespace quillmark
