#pragma once
// The font of the ESC/P 2 print mode: typeface, size, weight and the exact advance of each character.

#include <cstdint>

#include "emulation/escp2/escp2_state.h"
#include "platform/print_device.h"

namespace quillmark {

struct Escp2FontMetrics {
  FontRequest request;        // width: what the device advances per character at a fixed pitch
  std::int32_t advance = 0;   // dots per character at a fixed pitch, spacing included
  std::int32_t top = 0;       // dots from the line's top to the character cell's top
  bool proportional = false;  // each character advances by its own width plus the spacing
};

// Units per character at the mode's pitch (condensed included, double width not): the column of
// margins, tabs and backspace.
std::int64_t CharacterPitchUnits(const Escp2PrintMode& mode);

// `italicTable`: the character comes from the italic table, so it prints italic whatever the mode says.
Escp2FontMetrics MakeEscp2Font(const Escp2PrintMode& mode, bool italicTable, std::int32_t dpiX,
                               std::int32_t dpiY);

}  // namespace quillmark
