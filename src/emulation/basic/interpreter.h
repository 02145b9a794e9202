#pragma once
// The control-code interpreter: spool bytes to positions, pages, print modes and characters.
// Print worker thread only. No function reads at or beyond job.DataLength.

#include <cstdint>

#include "platform/print_device.h"
#include "emulation/printer_state.h"

namespace quillmark {

// Interprets the byte at readPosition, or the ESC sequence that starts there, and leaves readPosition
// past everything consumed (at least one byte). Call only while readPosition < job.DataLength.
void InterpretByte(Printout& job, std::int32_t& readPosition, PrintSystem& printers);

// The command after an ESC; readPosition is at the byte after the ESC.
void ExecuteEscape(Printout& job, std::int32_t& readPosition, PrintSystem& printers);

std::uint8_t ReadDataByte(const std::uint8_t* data, std::int32_t& readPosition);

// The argument of ESC W / ESC w: 1 or '1' on, 0 or '0' off, anything else unchanged.
void SetDoubleWidth(Printout& job, std::int32_t& readPosition);
void SetDoubleHeight(Printout& job, std::int32_t& readPosition);

}  // namespace quillmark
