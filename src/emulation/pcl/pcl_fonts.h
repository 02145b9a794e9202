#pragma once
// Font selection of the LaserJet: a font is asked for by its characteristics (symbol set, spacing, pitch,
// height, style, stroke weight, typeface) or by the ID of a downloaded font, and the printer takes the best
// match in that order of priority. The resident typefaces are scalable, so pitch and height always match;
// Line Printer is the one bitmap face, at 16.67 characters per inch and 8.5 points only.

#include <cstdint>
#include <string_view>

#include "emulation/pcl/pcl_soft_fonts.h"

namespace quillmark {

struct PclFontCharacteristics {
  std::int32_t symbolSet = 0;
  bool proportional = false;
  double pitch = 10;   // characters per inch
  double height = 12;  // points
  std::int32_t style = 0;
  std::int32_t weight = 0;       // -7 (thin) to 7 (ultra black)
  std::int32_t typeface = 4099;  // Courier
};

// A resident face and the installed family that stands in for it (platform/font_faces.h).
struct PclResidentFace {
  std::int32_t typeface;  // the typeface family number without its vendor bits
  std::string_view name;  // the FontRequest face name
  bool proportional;
  double ascent;  // the stand-in's ascender in ems: from the baseline up to the top of its cell
};

// What the printer prints with: a resident face at a size, or a downloaded font.
struct PclFont {
  const PclResidentFace* face = nullptr;  // nullptr: the soft font `softFontId`
  std::int32_t softFontId = -1;
  bool proportional = false;
  double pitch = 10;   // fixed pitch: characters per inch, the HMI the font sets
  double height = 12;  // points: the em
  bool italic = false;
  bool bold = false;
  std::int32_t symbolSet = 0;

  bool operator==(const PclFont&) const = default;
};

// The best font for `wanted` among the resident faces and the downloaded fonts.
PclFont ChoosePclFont(const PclFontCharacteristics& wanted, const PclSoftFonts& softFonts);

// The downloaded font `id` as the font, or nothing (face and soft font both unset) when there is none.
PclFont PclFontById(std::int32_t id, const PclSoftFonts& softFonts);

}  // namespace quillmark
