#include "emulation/pcl/pcl_fonts.h"

#include <cmath>

#include "emulation/pcl/pcl_symbol_sets.h"

namespace quillmark {
namespace {

// Ascenders measured from the stand-in families' font files.
constexpr PclResidentFace kLinePrinter{0, "Line Printer", false, 0.928};
constexpr PclResidentFace kCourier{3, "Courier", false, 0.8325};
constexpr PclResidentFace kCgTimes{5, "CG Times", true, 0.891};
constexpr PclResidentFace kLetterGothic{6, "Letter Gothic", false, 0.928};
constexpr PclResidentFace kUnivers{52, "Univers", true, 0.905};
constexpr PclResidentFace kArial{218, "Arial", true, 0.905};
constexpr PclResidentFace kTimesNewRoman{517, "Times New Roman", true, 0.891};

// The other typefaces a LaserJet 4 holds, printed with the nearest of the faces above.
struct Alias {
  std::int32_t typeface;
  const PclResidentFace* face;
};
constexpr Alias kAliases[] = {
    {4, &kUnivers},    // Helvetica
    {17, &kUnivers},   // CG Omega
    {20, &kCgTimes},   // Coronet
    {44, &kCgTimes},   // Clarendon
    {72, &kUnivers},   // Antique Olive
    {101, &kCgTimes},  // Garamond
    {201, &kCgTimes},  // Marigold
    {266, &kUnivers},  // Albertus
};

constexpr const PclResidentFace* kFaces[] = {&kLinePrinter, &kCourier, &kCgTimes,      &kLetterGothic,
                                             &kUnivers,     &kArial,   &kTimesNewRoman};

constexpr double kLinePrinterPitch = 16.67;
constexpr double kLinePrinterHeight = 8.5;

const PclResidentFace* ResidentFace(std::int32_t typeface) {
  const std::int32_t family = typeface % 4096;
  for (const PclResidentFace* face : kFaces) {
    if (face->typeface == family) return face;
  }
  for (const Alias& alias : kAliases) {
    if (alias.typeface == family) return alias.face;
  }
  return nullptr;
}

bool Italic(std::int32_t style) { return (style & 3) != 0; }

PclFont FromSoftFont(std::int32_t id, const PclSoftFont& font) {
  PclFont chosen;
  chosen.softFontId = id;
  chosen.proportional = font.proportional;
  chosen.pitch = font.pitch;
  chosen.height = font.height;
  chosen.symbolSet = font.symbolSet;
  chosen.italic = Italic(font.style);
  chosen.bold = font.weight >= 3;
  return chosen;
}

}  // namespace

PclFont ChoosePclFont(const PclFontCharacteristics& wanted, const PclSoftFonts& softFonts) {
  // A downloaded font that matches every characteristic the printer ranks above the typeface wins: the
  // printer prefers soft fonts to its own at an equal match.
  for (const auto& [id, font] : softFonts.Fonts()) {
    const bool size = font.proportional ? std::abs(font.height - wanted.height) < 0.25
                                        : std::abs(font.pitch - wanted.pitch) < 0.05;
    if (font.symbolSet == wanted.symbolSet && font.proportional == wanted.proportional && size &&
        font.style == wanted.style && font.weight == wanted.weight && font.typeface == wanted.typeface) {
      return FromSoftFont(id, font);
    }
  }
  PclFont chosen;
  // Every resident face carries every symbol set; an unknown one falls back to PC-8.
  chosen.symbolSet = IsPclSymbolSet(wanted.symbolSet) ? wanted.symbolSet : kPc8;
  chosen.proportional = wanted.proportional;
  chosen.italic = Italic(wanted.style);
  chosen.bold = wanted.weight >= 3;
  // Spacing ranks above the typeface: a typeface of the other spacing gives way to the default face of
  // the spacing asked for.
  const PclResidentFace* face = ResidentFace(wanted.typeface);
  if (face == nullptr || face->proportional != wanted.proportional) {
    face = wanted.proportional ? &kCgTimes : &kCourier;
  }
  const double pitch = wanted.pitch > 0 ? wanted.pitch : 10;
  if (face == &kLinePrinter && std::abs(pitch - kLinePrinterPitch) > 0.2) face = &kCourier;
  chosen.face = face;
  if (face == &kLinePrinter) {
    chosen.pitch = kLinePrinterPitch;
    chosen.height = kLinePrinterHeight;
  } else if (!face->proportional) {
    // A fixed-pitch scalable face is sized by its pitch: 10 characters per inch is 12 points.
    chosen.pitch = pitch;
    chosen.height = 120.0 / pitch;
  } else {
    chosen.height = wanted.height > 0 ? wanted.height : 12;
    chosen.pitch = 288.0 / chosen.height;  // a space is a quarter em
  }
  return chosen;
}

PclFont PclFontById(std::int32_t id, const PclSoftFonts& softFonts) {
  const PclSoftFont* font = softFonts.Find(id);
  return font == nullptr ? PclFont() : FromSoftFont(id, *font);
}

}  // namespace quillmark
