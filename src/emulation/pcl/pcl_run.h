#pragma once
// The LaserJet on a job's document: the one place where the PCL printer meets the printout.

#include <cstdint>

#include "log/error_log.h"
#include "platform/print_device.h"
#include "emulation/printer_state.h"

namespace quillmark {

// Interprets every byte of job.Data as PCL 5 on the job's open document (StartDocument has run;
// EndDocument follows). Leaves job.X and job.Y so that the footer follows the last sheet's marks. A take
// with HP-GL/2 in it gets one line in `log`.
void RunPcl(Printout& job, PrintSystem& printers, const ErrorLog* log = nullptr);

// True when the take begins as a LaserJet job does: ESC E, a UEL (ESC %-12345X), @PJL, or a page or
// raster command (ESC & or ESC * with a group letter).
bool LooksLikePcl(const std::uint8_t* data, std::int32_t length);

}  // namespace quillmark
