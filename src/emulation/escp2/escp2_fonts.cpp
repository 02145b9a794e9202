#include "emulation/escp2/escp2_fonts.h"

#include "emulation/dot_math.h"

namespace quillmark {
namespace {

constexpr std::int32_t kWeightNormal = 400;
constexpr std::int32_t kWeightDoubleStrike = 500;
constexpr std::int32_t kWeightBold = 700;
constexpr std::uint8_t kFixedPitchModern = 0x31;
constexpr std::uint8_t kVariablePitchModern = 0x32;

std::int32_t Dots(double units, std::int32_t dpi) {
  return RoundToDots(units * dpi / static_cast<double>(kUnitsPerInch));
}

// The typefaces of ESC k that the printer draws without serifs: Sans Serif, OCR-B, OCR-A, Orator and
// Sans Serif H; the others print as Roman.
bool SansSerif(const Escp2PrintMode& mode) {
  if (!mode.letterQuality) return true;  // the draft face has no serifs
  switch (mode.typeface) {
    case 1:
    case 5:
    case 6:
    case 7:
    case 11:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::int64_t CharacterPitchUnits(const Escp2PrintMode& mode) {
  if (mode.proportional) return kUnitsPerInch / 10;
  switch (mode.pitch) {
    case 12:
      return mode.condensed ? kUnitsPerInch / 20 : kUnitsPerInch / 12;
    case 15:
      return kUnitsPerInch / 15;  // there is no condensed 15 pitch
    default:
      return mode.condensed ? InUnits<120>(7) : kUnitsPerInch / 10;  // condensed 10 pitch: 17.14 per inch
  }
}

Escp2FontMetrics MakeEscp2Font(const Escp2PrintMode& mode, bool italicTable, std::int32_t dpiX,
                               std::int32_t dpiY) {
  const bool wide = mode.doubleWidth || mode.doubleWidthLine;
  const double widthFactor = wide ? 2.0 : 1.0;
  double emDots = mode.halfPoints * static_cast<double>(dpiY) / 144.0;
  if (mode.doubleHeight) emDots *= 2;

  Escp2FontMetrics font;
  double pitchUnits = static_cast<double>(CharacterPitchUnits(mode));
  if (mode.proportional && mode.condensed) pitchUnits *= 0.6;
  double glyphUnits = pitchUnits;
  // Super- and subscript print two thirds high and, at a fixed pitch, keep the pitch.
  if (mode.script != 0) {
    if (mode.script == 2) font.top = RoundToDots(emDots / 3);
    emDots = emDots * 2 / 3;
    glyphUnits = pitchUnits * 2 / 3;
  }
  const double advanceUnits =
      (mode.hmi > 0 && !mode.proportional) ? static_cast<double>(InUnits<360>(mode.hmi)) : pitchUnits * widthFactor;
  font.proportional = mode.proportional;
  font.request.height = -RoundToDots(emDots);
  font.request.width = Dots(glyphUnits * widthFactor, dpiX);
  font.advance = Dots(advanceUnits, dpiX) + Dots(mode.extraSpace * widthFactor, dpiX);
  if (font.proportional) font.advance = font.request.width + Dots(mode.extraSpace * widthFactor, dpiX);
  font.request.weight = (mode.bold || mode.style != 0) ? kWeightBold
                        : mode.doubleStrike            ? kWeightDoubleStrike
                                                       : kWeightNormal;
  font.request.italic = (mode.italic || italicTable) ? 1 : 0;
  font.request.pitchAndFamily = mode.proportional ? kVariablePitchModern : kFixedPitchModern;
  font.request.charSet = 255;
  font.request.faceName = SansSerif(mode) ? "Sans Serif" : "Roman";
  return font;
}

}  // namespace quillmark
