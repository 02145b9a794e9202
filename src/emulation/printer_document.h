#pragma once
// One job as one printed document: device, page origin, position rules, footer. Print worker thread only.

#include <cstdint>
#include <functional>
#include <string_view>

#include "log/error_log.h"
#include "platform/print_device.h"
#include "emulation/printer_state.h"

namespace quillmark {

// The line that closes every document.
inline constexpr std::string_view kFooterText = "Gedruckt mit Quillmark 1.0";

// Opens the job's printer and reads its resolution. A printer that cannot be opened is logged; the job
// then has no device and its resolution stays 0.
void OpenPrinterDevice(Printout& job, PrintSystem& printers, const ErrorLog& log);

// Page origin, document "DOS Job", first page, default print mode and first font.
void StartDocument(Printout& job, PrintSystem& printers);

std::int32_t LineStartX(const PrinterState& job);
std::int32_t PageTopY(const PrinterState& job);
// The Y of the next line; changes nothing.
std::int32_t NextLineY(const PrinterState& job);

// Footer one footer line below the current line, end of the last page and of the document.
void EndDocument(Printout& job, PrintSystem& printers);

// Releases the device and the job's last font.
void ReleaseDevice(Printout& job, PrintSystem& printers);

// The whole document: OpenPrinterDevice, StartDocument, every byte of the take through the slot's
// Emulator, EndDocument.
// True when the document reached its printer; the device stays open for ReleaseDevice. When
// `mayDeliver` is given it is asked before EndDocument; false abandons the document undelivered.
bool PrintDocument(Printout& job, PrintSystem& printers, const ErrorLog& log,
                   const std::function<bool()>& mayDeliver = {});

}  // namespace quillmark
