#pragma once
// The printer font for a job's current print mode. Print worker thread only.

#include "platform/print_device.h"
#include "emulation/printer_state.h"

namespace quillmark {

// The font request for the job's print mode and resolution.
FontRequest MakeFontRequest(const Printout& job);

// Makes the font for the current print mode, selects it into the device (if any), then releases the
// font of the previous call; the new handle is kept in job.Font.
void SelectFont(Printout& job, PrintSystem& printers);

}  // namespace quillmark
