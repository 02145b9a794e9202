#include "emulation/pcl/pcl_commands.h"

#include <algorithm>
#include <cmath>

#include "emulation/pcl/pcl_interpreter.h"
#include "emulation/pcl/pcl_symbol_sets.h"

namespace quillmark {
namespace {

using Command = PclCommand;
using Printer = PclInterpreter;

constexpr std::int64_t kDecipoint = kPclUnitsPerInch / 720;
constexpr std::int32_t kLinesPerInch[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 48};
constexpr std::int32_t kUnitsPerInch[] = {96,  100, 120,  144,  150,  160,  180,  200, 225,
                                          240, 288, 300,  360,  400,  450,  480,  600, 720,
                                          800, 900, 1200, 1440, 1800, 2400, 3600, 7200};

std::int64_t Units(double value, std::int64_t unit) {
  return std::llround(value * static_cast<double>(unit));
}

// An absolute value or one relative to `current`, by the sign the value carried.
std::int64_t Position(const Command& c, std::int64_t current, std::int64_t origin, std::int64_t unit) {
  const std::int64_t distance = Units(std::clamp(c.value, -32767.0, 32767.0), unit);
  return c.relative ? current + distance : origin + distance;
}

PclFontCharacteristics& Wanted(Printer& p, const Command& c) {
  return p.MutableState().wanted[c.parameterized == ')' ? 1 : 0];
}

void FontChange(Printer& p, const Command& c) {
  const bool secondary = c.parameterized == ')';
  p.MutableState().byId[secondary ? 1 : 0] = -1;
  p.FontChanged(secondary == p.State().secondary);
}

// Job and page control.
void Reset(Printer& p, const Command&) {
  if (!p.InMacro()) p.Reset();
}
void Uel(Printer& p, const Command& c) {
  if (c.Int() == -12345 && !p.InMacro()) p.Reset();
}
void EnterHpgl2(Printer& p, const Command&) { p.EnterHpgl2(); }
void PageSize(Printer& p, const Command& c) { p.SetPageSize(c.Int()); }
void Orientation(Printer& p, const Command& c) { p.SetOrientation(c.Int()); }
void TopMargin(Printer& p, const Command& c) { p.SetTopMargin(c.Int()); }
void TextLength(Printer& p, const Command& c) { p.SetTextLength(c.Int()); }
void PerforationSkip(Printer& p, const Command& c) {
  if (c.Int() == 0 || c.Int() == 1) p.MutableState().perforationSkip = c.Int() == 1;
}
void LineSpacing(Printer& p, const Command& c) {
  const std::int32_t lines = c.Int();
  if (lines == 0) p.SetVmi(0);
  if (std::find(std::begin(kLinesPerInch), std::end(kLinesPerInch), lines) != std::end(kLinesPerInch)) {
    p.SetVmi(kPclUnitsPerInch / lines);
  }
}
void Vmi(Printer& p, const Command& c) { p.SetVmi(Units(c.value, kPclUnitsPerInch / 48)); }
void Hmi(Printer& p, const Command& c) { p.SetHmi(Units(c.value, kPclUnitsPerInch / 120)); }
void PitchMode(Printer& p, const Command& c) {
  const double pitch = c.Int() == 0 ? 10.0 : c.Int() == 2 ? 16.67 : c.Int() == 4 ? 12.0 : 0.0;
  if (pitch == 0) return;
  p.MutableState().wanted[0].pitch = pitch;
  Command primary;
  primary.parameterized = '(';
  FontChange(p, primary);
}
void LineTermination(Printer& p, const Command& c) {
  if (c.Int() >= 0 && c.Int() <= 3) p.MutableState().lineTermination = c.Int();
}
void Wrap(Printer& p, const Command& c) {
  if (c.Int() == 0 || c.Int() == 1) p.MutableState().wrap = c.Int() == 0;
}
// Paper source: the printer prints a marked page before it feeds from the tray named (0: just eject).
void PaperSource(Printer& p, const Command& c) {
  if (c.Int() < 0 || c.Int() > 69) return;
  const bool marked = p.PageMarked();
  p.EjectPage(false);
  if (marked) p.MoveTo(p.State().cursor.x, p.FirstLine());
}
void Copies(Printer& p, const Command& c) {
  if (c.Int() >= 1) p.MutableState().copies = std::min(c.Int(), 999);
}
void Duplex(Printer& p, const Command& c) {
  if (c.Int() >= 0 && c.Int() <= 2) p.MutableState().duplex = c.Int();
}
void LeftRegistration(Printer& p, const Command& c) {
  p.MutableState().leftRegistration = Units(std::clamp(c.value, -32767.0, 32767.0), kDecipoint);
}
void TopRegistration(Printer& p, const Command& c) {
  p.MutableState().topRegistration = Units(std::clamp(c.value, -32767.0, 32767.0), kDecipoint);
}
void UnitOfMeasure(Printer& p, const Command& c) {
  if (!(c.value > 0)) return;
  // Any other value takes the unit nearest to it by relative error, as the printer does.
  std::int32_t nearest = kUnitsPerInch[0];
  for (const std::int32_t units : kUnitsPerInch) {
    if (std::abs(c.value - units) / units < std::abs(c.value - nearest) / nearest) nearest = units;
  }
  p.MutableState().unitsPerInch = nearest;
}
void LeftMargin(Printer& p, const Command& c) { p.SetLeftMargin(Units(c.value, p.State().hmi)); }
void RightMargin(Printer& p, const Command& c) { p.SetRightMargin(Units(c.value + 1, p.State().hmi)); }
void ClearMargins(Printer& p, const Command&) { p.ClearHorizontalMargins(); }

// Cursor.
void Column(Printer& p, const Command& c) {
  p.MoveTo(Position(c, p.State().cursor.x, 0, p.State().hmi), p.State().cursor.y);
}
void HorizontalDecipoints(Printer& p, const Command& c) {
  p.MoveTo(Position(c, p.State().cursor.x, 0, kDecipoint), p.State().cursor.y);
}
void HorizontalUnits(Printer& p, const Command& c) {
  p.MoveTo(Position(c, p.State().cursor.x, 0, p.PclUnit()), p.State().cursor.y);
}
void Row(Printer& p, const Command& c) {
  // Rows are counted from the first line, which lies three quarters of a line below the top margin.
  p.MoveTo(p.State().cursor.x, Position(c, p.State().cursor.y, p.FirstLine(), p.State().vmi));
}
void VerticalDecipoints(Printer& p, const Command& c) {
  p.MoveTo(p.State().cursor.x, Position(c, p.State().cursor.y, p.State().topMargin, kDecipoint));
}
void VerticalUnits(Printer& p, const Command& c) {
  p.MoveTo(p.State().cursor.x, Position(c, p.State().cursor.y, p.State().topMargin, p.PclUnit()));
}
void HalfLineFeed(Printer& p, const Command&) { p.HalfLineFeed(); }
void PushPop(Printer& p, const Command& c) { p.PushPop(c.Int()); }

// Fonts.
void SymbolSet(Printer& p, const Command& c) {
  if (c.terminator < '@' || c.terminator > '^' || c.terminator == 'X' || c.terminator == '@') return;
  Wanted(p, c).symbolSet = PclSymbolSetId(std::clamp(c.Int(), 0, 2047), static_cast<char>(c.terminator));
  FontChange(p, c);
}
void Spacing(Printer& p, const Command& c) {
  if (c.Int() != 0 && c.Int() != 1) return;
  Wanted(p, c).proportional = c.Int() == 1;
  FontChange(p, c);
}
void Pitch(Printer& p, const Command& c) {
  if (c.value <= 0 || c.value > 576) return;
  Wanted(p, c).pitch = c.value;
  FontChange(p, c);
}
void Height(Printer& p, const Command& c) {
  if (c.value <= 0 || c.value > 999.75) return;
  Wanted(p, c).height = c.value;
  FontChange(p, c);
}
void Style(Printer& p, const Command& c) {
  Wanted(p, c).style = std::clamp(c.Int(), 0, 32767);
  FontChange(p, c);
}
void StrokeWeight(Printer& p, const Command& c) {
  Wanted(p, c).weight = std::clamp(c.Int(), -7, 7);
  FontChange(p, c);
}
void Typeface(Printer& p, const Command& c) {
  Wanted(p, c).typeface = std::clamp(c.Int(), 0, 65535);
  FontChange(p, c);
}
void FontById(Printer& p, const Command& c) {
  const std::size_t which = c.parameterized == ')' ? 1 : 0;
  if (p.SoftFonts().Find(c.Int()) == nullptr) return;  // an unknown ID leaves the font as it is
  p.MutableState().byId[which] = c.Int();
  p.FontChanged((which == 1) == p.State().secondary);
}
void DefaultFont(Printer& p, const Command& c) {
  if (c.Int() != 3) return;
  const std::size_t which = c.parameterized == ')' ? 1 : 0;
  const std::int32_t symbolSet = p.MutableState().wanted[which].symbolSet;
  p.MutableState().wanted[which] = PclFontCharacteristics{};
  p.MutableState().wanted[which].symbolSet = symbolSet;
  FontChange(p, c);
}
void Underline(Printer& p, const Command& c) {
  if (c.terminator == '@') {
    p.MutableState().underline = 0;
  } else if (c.Int() == 0 || c.Int() == 1 || c.Int() == 3) {
    p.MutableState().underline = c.Int() == 3 ? 3 : 1;
  }
}
void FontId(Printer& p, const Command& c) { p.SoftFonts().SetFontId(std::clamp(c.Int(), 0, 32767)); }
void CharacterCode(Printer& p, const Command& c) { p.SoftFonts().SetCharacterCode(c.Int()); }
void FontControl(Printer& p, const Command& c) {
  p.SoftFonts().Control(c.Int());
  p.FontChanged();
}
void FontHeader(Printer& p, const Command& c) {
  p.SoftFonts().DefineFont(c.data, c.dataLength);
  p.FontChanged();
}
void CharacterData(Printer& p, const Command& c) { p.SoftFonts().DefineCharacter(c.data, c.dataLength); }
void Transparent(Printer& p, const Command& c) { p.PrintTransparent(c.data, c.dataLength); }

// Pictures.
void RasterResolution(Printer& p, const Command& c) {
  constexpr std::int32_t kResolutions[] = {75, 100, 150, 200, 300, 600};
  if (std::find(std::begin(kResolutions), std::end(kResolutions), c.Int()) != std::end(kResolutions)) {
    p.MutableState().raster.resolution = c.Int();
  }
}
void RasterStart(Printer& p, const Command& c) { p.StartRaster(c.Int()); }
void RasterEnd(Printer& p, const Command&) { p.EndRaster(); }
void RasterWidth(Printer& p, const Command& c) {
  p.MutableState().raster.sourceWidth = std::clamp(c.Int(), 0, 65535);
}
void RasterHeight(Printer& p, const Command& c) {
  p.MutableState().raster.sourceHeight = std::clamp(c.Int(), 0, 65535);
}
void RasterPresentation(Printer& p, const Command& c) {
  if (c.Int() == 0 || c.Int() == 3) p.MutableState().raster.presentation = c.Int();
}
void Compression(Printer& p, const Command& c) {
  if (c.Int() >= 0 && c.Int() <= 9) p.MutableState().raster.compression = c.Int();
}
void RasterRow(Printer& p, const Command& c) { p.RasterRow(c.data, c.dataLength); }
void RasterOffset(Printer& p, const Command& c) { p.RasterOffset(c.Int()); }
void RectWidthUnits(Printer& p, const Command& c) {
  if (c.value >= 0 && c.value <= 32767) p.MutableState().rectWidth = Units(c.value, p.PclUnit());
}
void RectHeightUnits(Printer& p, const Command& c) {
  if (c.value >= 0 && c.value <= 32767) p.MutableState().rectHeight = Units(c.value, p.PclUnit());
}
void RectWidthDecipoints(Printer& p, const Command& c) {
  if (c.value >= 0 && c.value <= 32767) p.MutableState().rectWidth = Units(c.value, kDecipoint);
}
void RectHeightDecipoints(Printer& p, const Command& c) {
  if (c.value >= 0 && c.value <= 32767) p.MutableState().rectHeight = Units(c.value, kDecipoint);
}
void PatternId(Printer& p, const Command& c) { p.MutableState().patternId = std::clamp(c.Int(), 0, 32767); }
void FillRectangle(Printer& p, const Command& c) { p.Rectangle(c.Int()); }

// Macros.
void MacroId(Printer& p, const Command& c) { p.MutableState().macroId = std::clamp(c.Int(), 0, 32767); }
void MacroControl(Printer& p, const Command& c) { p.MacroControl(c.Int()); }

constexpr PclRow kRows[] = {
    // Two-character commands.
    {0, 0, 'E', Reset},
    {0, 0, '9', ClearMargins},
    {0, 0, '=', HalfLineFeed},
    // Job control.
    {'%', 0, 'X', Uel},
    {'%', 0, 'B', EnterHpgl2},
    {'&', 'l', 'X', Copies},
    {'&', 'l', 'H', PaperSource},
    {'&', 'l', 'S', Duplex},
    {'&', 'l', 'U', LeftRegistration},
    {'&', 'l', 'Z', TopRegistration},
    {'&', 'u', 'D', UnitOfMeasure},
    // Page control.
    {'&', 'l', 'A', PageSize},
    {'&', 'l', 'O', Orientation},
    {'&', 'l', 'E', TopMargin},
    {'&', 'l', 'F', TextLength},
    {'&', 'l', 'L', PerforationSkip},
    {'&', 'l', 'D', LineSpacing},
    {'&', 'l', 'C', Vmi},
    {'&', 'k', 'H', Hmi},
    {'&', 'k', 'S', PitchMode},
    {'&', 'k', 'G', LineTermination},
    {'&', 's', 'C', Wrap},
    {'&', 'a', 'L', LeftMargin},
    {'&', 'a', 'M', RightMargin},
    // Cursor.
    {'&', 'a', 'C', Column},
    {'&', 'a', 'H', HorizontalDecipoints},
    {'*', 'p', 'X', HorizontalUnits},
    {'&', 'a', 'R', Row},
    {'&', 'a', 'V', VerticalDecipoints},
    {'*', 'p', 'Y', VerticalUnits},
    {'&', 'f', 'S', PushPop},
    // Fonts.
    {'(', 's', 'P', Spacing},
    {')', 's', 'P', Spacing},
    {'(', 's', 'H', Pitch},
    {')', 's', 'H', Pitch},
    {'(', 's', 'V', Height},
    {')', 's', 'V', Height},
    {'(', 's', 'S', Style},
    {')', 's', 'S', Style},
    {'(', 's', 'B', StrokeWeight},
    {')', 's', 'B', StrokeWeight},
    {'(', 's', 'T', Typeface},
    {')', 's', 'T', Typeface},
    {'(', 0, 'X', FontById},
    {')', 0, 'X', FontById},
    {'(', 0, '@', DefaultFont},
    {')', 0, '@', DefaultFont},
    {'(', 0, 0, SymbolSet},
    {')', 0, 0, SymbolSet},
    {'&', 'd', 'D', Underline},
    {'&', 'd', '@', Underline},
    {'*', 'c', 'D', FontId},
    {'*', 'c', 'E', CharacterCode},
    {'*', 'c', 'F', FontControl},
    {')', 's', 'W', FontHeader},
    {'(', 's', 'W', CharacterData},
    {'&', 'p', 'X', Transparent},
    // Raster graphics.
    {'*', 't', 'R', RasterResolution},
    {'*', 'r', 'A', RasterStart},
    {'*', 'r', 'B', RasterEnd},
    {'*', 'r', 'C', RasterEnd},
    {'*', 'r', 'S', RasterWidth},
    {'*', 'r', 'T', RasterHeight},
    {'*', 'r', 'F', RasterPresentation},
    {'*', 'b', 'M', Compression},
    {'*', 'b', 'W', RasterRow},
    {'*', 'b', 'Y', RasterOffset},
    // Rectangles.
    {'*', 'c', 'A', RectWidthUnits},
    {'*', 'c', 'B', RectHeightUnits},
    {'*', 'c', 'H', RectWidthDecipoints},
    {'*', 'c', 'V', RectHeightDecipoints},
    {'*', 'c', 'G', PatternId},
    {'*', 'c', 'P', FillRectangle},
    // Macros.
    {'&', 'f', 'Y', MacroId},
    {'&', 'f', 'X', MacroControl},
};

}  // namespace

const PclRow* FindPclRow(const PclCommand& command) {
  const PclRow* wildcard = nullptr;
  for (const PclRow& row : kRows) {
    if (row.parameterized != command.parameterized || row.group != command.group) continue;
    if (row.terminator == command.terminator) return &row;
    if (row.terminator == 0) wildcard = &row;
  }
  return wildcard;
}

void ExecutePclCommand(PclInterpreter& printer, const PclCommand& command) {
  if (const PclRow* row = FindPclRow(command)) row->handler(printer, command);
}

}  // namespace quillmark
