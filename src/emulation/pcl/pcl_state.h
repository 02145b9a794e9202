#pragma once
// The LaserJet's modifiable print environment. Lengths are in 1/7200 inch (the finest PCL unit); X runs
// from the left edge of the logical page, Y from its top edge.

#include <array>
#include <cstdint>
#include <vector>

#include "emulation/pcl/pcl_fonts.h"

namespace quillmark {

inline constexpr std::int64_t kPclUnitsPerInch = 7200;
inline constexpr std::int64_t kPclUnitsPerDot300 = kPclUnitsPerInch / 300;

struct PclCursor {
  std::int64_t x = 0;
  std::int64_t y = 0;
};

struct PclRaster {
  bool active = false;
  std::int32_t resolution = 75;   // ESC * t # R
  std::int32_t compression = 0;   // ESC * b # M
  std::int32_t sourceWidth = 0;   // ESC * r # S; 0: as wide as the rows
  std::int32_t sourceHeight = 0;  // ESC * r # T; 0: as many rows as sent
  std::int32_t presentation = 0;
  bool fromCursor = false;         // ESC * r 1 A: the left graphics margin is the cursor's X
  std::int64_t left = 0;           // where the rows begin
  std::int64_t top = 0;            // the first row's top
  std::int32_t rows = 0;           // rows placed so far
  std::vector<std::uint8_t> seed;  // the row before, for delta-row compression
};

struct PclState {
  // The page.
  std::int32_t pageSize = 2;
  std::int32_t orientation = 0;    // 0 portrait, 1 landscape, 2 reversed portrait, 3 reversed landscape
  std::int64_t physicalWidth = 0;  // the sheet as the orientation turns it
  std::int64_t physicalLength = 0;
  std::int64_t logicalLeft = 0;  // the logical page's left edge on the sheet
  std::int64_t logicalWidth = 0;
  std::int64_t leftRegistration = 0;  // ESC & l # U
  std::int64_t topRegistration = 0;   // ESC & l # Z
  std::int64_t topMargin = 0;
  std::int64_t textLength = 0;
  std::int64_t leftMargin = 0;
  std::int64_t rightMargin = 0;
  bool perforationSkip = true;
  std::int32_t copies = 1;
  std::int32_t duplex = 0;
  std::int32_t unitsPerInch = 300;  // ESC & u # D

  // Text.
  std::int64_t hmi = 720;
  std::int64_t vmi = 1200;
  std::int32_t lineTermination = 0;
  bool wrap = false;                               // ESC & s 0 C
  std::int32_t underline = 0;                      // 0 off, 1 fixed, 3 floating
  std::array<PclFontCharacteristics, 2> wanted{};  // primary, secondary
  std::array<std::int32_t, 2> byId{-1, -1};        // a soft font chosen by ID instead
  bool secondary = false;                          // SO selected the secondary font

  PclCursor cursor;
  std::vector<PclCursor> stack;  // ESC & f # S

  // Pictures.
  PclRaster raster;
  std::int64_t rectWidth = 0;   // ESC * c # A / H
  std::int64_t rectHeight = 0;  // ESC * c # B / V
  std::int32_t patternId = 0;   // ESC * c # G

  // Downloads.
  std::int32_t macroId = 0;
};

}  // namespace quillmark
