#pragma once
// The records that carry a job from the settings to the printer. Nothing here is ever written to a file.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/take_file.h"

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
  kEscP,   // an Epson 9-pin ESC/P printer (FX/LX class)
  kPcl,    // an HP LaserJet, PCL 5e
  kAuto,   // PCL for a take that begins as a LaserJet job does, else ESC/P 2
};

struct JobSettings {
  std::int32_t JobNumber = 0;
  FixedText<2048> Path;
  FixedText<512> Printer;
  std::int32_t CharSet = 0;
  std::uint8_t Inventory = 0;
  float PaperWidth = 0.0f;
  float PaperHeight = 0.0f;
  float BorderTop = 0.0f;
  float BorderLeft = 0.0f;
  // Whether the slot names its borders. Without them the Epson printers place the form as the printer
  // does; Basic always uses BorderTop and BorderLeft, which then hold the defaults.
  bool BorderTopGiven = false;
  bool BorderLeftGiven = false;
  Emulation Mode = Emulation::kBasic;
  std::int32_t CodePage = 437;  // the ESC/P 2 printer's character table at power-on
  FixedText<64> Media;          // a CUPS printer's media ("A4", "na_letter_8.5x11in"); empty: its default

  bool operator==(const JobSettings&) const = default;
};

// Spool data taken from a spool file. Exactly one record owns it at a time; it moves from the watcher
// through the queue to the worker and is never copied.
using SpoolData = std::unique_ptr<std::uint8_t[]>;

class TakeGate;

// One take to print: a snapshot of its slot's settings, and its bytes: held in Data only by a job that has no
// file (a test's), otherwise read from its file in the queue as it prints. The printer's state while it
// prints belongs to the emulation (PrinterState). Move-only.
struct PrintJob {
  JobSettings Settings;
  std::int32_t DataLength = 0;
  SpoolData Data;
  std::string QueueFile;           // the take's copy on disk (see TakeStore); empty for a job without one
  std::unique_ptr<TakeFile> File;  // that copy opened when it was written, while its name still changes
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
