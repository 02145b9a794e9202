#pragma once
// The printer a job slot emulates, behind one seam: the document code opens the device, starts the
// document and draws the footer; an emulator turns the take's bytes into pages in between. Each emulator
// keeps its own command state; the page (device, resolution, origin, position, font) is the Printout's.
// Print worker thread only.

#include <cstdint>
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

// The emulator for `emulation` (kAuto chosen before, with ChooseEmulation).
std::unique_ptr<Emulator> MakeEmulator(Emulation emulation);

// kAuto made definite for a take: PCL when it begins as a LaserJet job does, else ESC/P 2. Any other
// emulation stays as it is.
Emulation ChooseEmulation(Emulation configured, const std::uint8_t* data, std::int32_t length);

}  // namespace quillmark
