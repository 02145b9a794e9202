#pragma once
// The printer font for a job's current print mode. Print worker thread only.

#include "platform/print_device.h"
#include "spool/job_records.h"

namespace quillmark {

// The font request for the job's print mode and resolution.
FontRequest MakeFontRequest(const PrintJob& job);

// Makes the font for the current print mode, selects it into the device (if any), then releases the
// font of the previous call; the new handle is kept in job.Font.
void SelectFont(PrintJob& job, PrintSystem& printers);

}  // namespace quillmark
