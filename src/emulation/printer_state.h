#pragma once
// The printer's state while it prints one take. Print worker thread only.

#include <cstdint>
#include <memory>

#include "platform/print_device.h"
#include "spool/job_records.h"

namespace quillmark {

// The sheet every emulator prints on. Coordinates are printer dots, (0, 0) at the top-left of the
// printable area, Y growing down; Y is the top edge of the current line.
struct Page {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::unique_ptr<PrintDevice> DeviceContext;  // null while no device is open
  FontHandle Font = 0;                         // made by the last SelectFont; 0 before the first
  std::int32_t OriginX = 0;
  std::int32_t OriginY = 0;
  std::int32_t DpiX = 0;
  std::int32_t DpiY = 0;
};

// The Basic printer's print mode; the footer is drawn in one too.
struct BasicPrintMode {
  float PointSize = 0.0f;
  std::int32_t Pitch = 0;
  float LineSpacing = 0.0f;  // inches
  std::uint8_t Bold = 0;
  std::uint8_t DoubleStrike = 0;
  std::uint8_t DoubleWidth = 0;
  std::uint8_t DoubleWidthLine = 0;
  std::uint8_t DoubleHeight = 0;
  std::uint8_t Condensed = 0;
  std::uint8_t Proportional = 0;  // the argument of the last ESC p
};

struct PrinterState : Page, BasicPrintMode {};

// A take being printed: a fresh printer state and a view of the take's settings and data, which must
// outlive it. A state never carries over from one take to the next.
struct Printout : PrinterState {
  explicit Printout(const PrintJob& take)
      : Settings(take.Settings), DataLength(take.DataLength), Data(take.Data.get()) {}

  const JobSettings& Settings;
  const std::int32_t DataLength;
  const std::uint8_t* const Data;
};

}  // namespace quillmark
