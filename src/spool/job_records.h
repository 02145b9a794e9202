#pragma once
// The records that carry a job from the settings to the printer. Field order follows the settings and
// emulator state they describe; nothing here is ever written to a file.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/print_device.h"

namespace quillmark {

// A fixed, zero-padded 8-bit text field. A value of N bytes or more keeps its first N bytes and has no
// terminating zero; readers stop at the first zero or at the field's end.
template <std::size_t N>
struct FixedText {
  std::array<char, N> bytes{};

  void Assign(std::string_view value) {
    bytes.fill('\0');
    std::memcpy(bytes.data(), value.data(), std::min(value.size(), N));
  }
  std::string_view View() const {
    const auto* end = std::find(bytes.begin(), bytes.end(), '\0');
    return std::string_view(bytes.data(), static_cast<std::size_t>(end - bytes.begin()));
  }
  bool operator==(const FixedText&) const = default;
};

// The printer a job slot emulates.
enum class Emulation : std::uint8_t {
  kBasic,  // the original control-code set, exactly
  kEscP2,  // an Epson 24-pin ESC/P 2 printer
  kPcl,    // an HP LaserJet, PCL 5e
  kAuto,   // PCL for a take that begins as a LaserJet job does, else ESC/P 2
};

struct JobSettings {
  std::int32_t JobNumber = 0;
  FixedText<2048> Path;
  FixedText<512> Printer;
  std::int32_t CharSet = 0;
  std::uint8_t CollectMode = 0;  // reserved; always 0, so every take is queued at once
  std::uint8_t Inventory = 0;
  std::int32_t PositionMode = 0;
  float PaperWidth = 0.0f;
  float PaperHeight = 0.0f;
  float BorderTop = 0.0f;
  float BorderLeft = 0.0f;
  Emulation Mode = Emulation::kBasic;
  std::int32_t CodePage = 437;  // the ESC/P 2 printer's character table at power-on
  FixedText<64> Media;          // a CUPS printer's media ("A4", "na_letter_8.5x11in"); empty: its default
  std::array<std::int32_t, 12> Reserved{};

  bool operator==(const JobSettings&) const = default;
};

// Spool data taken from a spool file. Exactly one record owns it at a time; it moves from the watcher
// through the queue to the worker and is never copied.
using SpoolData = std::unique_ptr<std::uint8_t[]>;

// The emulator state of one job. Coordinates are printer dots, (0, 0) at the top-left of the printable
// area, Y growing down; Y is the top edge of the current line.
struct PrinterState {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::unique_ptr<PrintDevice> DeviceContext;  // null while no device is open
  FontHandle Font = 0;                         // made by the last SelectFont; 0 before the first
  std::int32_t DataLength = 0;
  SpoolData Data;
  std::int32_t OriginX = 0;
  std::int32_t OriginY = 0;
  std::int32_t DpiX = 0;
  std::int32_t DpiY = 0;
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

class TakeGate;

// One document to print: the emulator state followed by a snapshot of its slot's settings. Move-only,
// because it owns its data.
struct PrintJob : PrinterState {
  JobSettings Settings;
  std::string QueueFile;           // the take's copy on disk (see TakeStore); empty for a job without one
  std::shared_ptr<TakeGate> Gate;  // null once the take is known to be out of its spool file
};

// Spool data held back from printing until FlushPendingJobs.
struct PendingJob {
  std::int32_t JobNumber = 0;
  std::int32_t DataLength = 0;
  SpoolData Data;
  JobSettings Settings;
};

}  // namespace quillmark
