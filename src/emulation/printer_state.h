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
  explicit Printout(const PrintJob& take) : Printout(take.Settings, take.Data.get(), take.DataLength) {}
  // Data mapped from `file`, whose pages behind the read position leave memory as the take is read.
  Printout(const JobSettings& settings, const std::uint8_t* data, std::int32_t length,
           TakeFile* file = nullptr)
      : Settings(settings), DataLength(length), Data(data), file_(file) {}

  // Every interpreter's main loop tells where it reads: a large take then stays out of memory but for a few
  // megabytes around that position. A look back is still correct, only slower.
  void Passed(std::int32_t readPosition) {
    if (file_ == nullptr || readPosition < nextDrop_) return;
    file_->Drop(readPosition - kKeptBehind);
    nextDrop_ = readPosition + kDropStep;
  }

  const JobSettings& Settings;
  const std::int32_t DataLength;
  const std::uint8_t* const Data;

 private:
  static constexpr std::int32_t kDropStep = 4 << 20;
  static constexpr std::int32_t kKeptBehind = 1 << 20;
  TakeFile* file_;
  std::int32_t nextDrop_ = kDropStep;
};

}  // namespace quillmark
