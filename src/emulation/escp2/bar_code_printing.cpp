#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "emulation/escp2/bar_codes.h"
#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_interpreter.h"

namespace quillmark {
namespace {

// Widths are counted in 1/360 inch: a module is m/180 inch and the space adjustment s/360 inch.
constexpr std::int64_t kUnitsPer360th = kUnitsPerInch / 360;
// POSTNET has a fixed shape: bars of 7/360 inch, 22.5 to the inch; tall 1/8 inch, short 1/20 inch.
constexpr std::int32_t kPostnetBar = 7;
constexpr std::int32_t kPostnetSpace = 9;
constexpr std::int64_t kPostnetTall = kUnitsPerInch / 8;
constexpr std::int64_t kPostnetShort = kUnitsPerInch / 20;
// The human-readable characters start this far below the bars.
constexpr std::int64_t kTextGap = kUnitsPerInch / 60;

// The human-readable digits of EAN and UPC as printed under such symbols: each digit under its seven
// modules between the guards, EAN-13's first digit and UPC's number system left of the symbol, UPC's check
// digit right of it. Other types print their text from the left end. `edges` are the element edges.
void PrintDigits(Escp2Interpreter& printer, BarCodeType kind, const std::string& text,
                 const std::vector<std::int32_t>& edges, std::int32_t left, std::int32_t module,
                 std::int64_t below) {
  const auto at = [&](std::size_t element) { return left + printer.DotsX(edges[element] * kUnitsPer360th); };
  const std::int32_t hmi = 14 * module;  // seven modules of m/180 inch
  const std::int32_t cell = printer.DotsX(InUnits<360>(hmi));
  const std::int32_t inset = std::max(0, (cell - printer.DotsX(kUnitsPerInch / 20)) / 2);
  const auto group = [&](std::size_t from, std::size_t count, std::int32_t x) {
    printer.PrintBelow(below, x + inset, std::string_view(text).substr(from, count), hmi);
  };
  const std::size_t elements = edges.size() - 1;
  if ((kind == BarCodeType::kEan13 || kind == BarCodeType::kUpcA) && elements == 59 && text.size() >= 12) {
    const bool upc = kind == BarCodeType::kUpcA;
    group(0, 1, std::max(printer.Job().OriginX, left - cell));
    group(1, upc ? 5 : 6, at(3) + (upc ? cell : 0));
    group(upc ? 6 : 7, upc ? 5 : 6, at(32));
    if (upc) group(11, 1, at(59));
  } else if (kind == BarCodeType::kEan8 && elements == 43 && text.size() == 8) {
    group(0, 4, at(3));
    group(4, 4, at(24));
  } else if (kind == BarCodeType::kUpcE && elements == 33 && text.size() == 8) {
    group(0, 1, std::max(printer.Job().OriginX, left - cell));
    group(1, 6, at(3));
    group(7, 1, at(33));
  } else {
    printer.PrintBelow(below, left, text);
  }
}

}  // namespace

void PrintBarCode(Escp2Interpreter& printer, const Escp2Command& command) {
  // k m s v1 v2 c, then the data.
  constexpr std::int32_t kHeader = 6;
  if (command.paramLength < kHeader) {
    printer.RejectBarCode(command.Param(0));
    return;
  }
  const std::int32_t type = command.Param(0);
  const std::int32_t module = command.Param(1);
  const std::int32_t adjust = static_cast<std::int8_t>(command.Param(2));
  const std::int64_t height = std::int64_t{command.Word(3)} * (kUnitsPerInch / 180);
  const std::int32_t flags = command.Param(5);
  const auto kind = static_cast<BarCodeType>(type);
  const bool postnet = kind == BarCodeType::kPostnet;
  if (type >= kBarCodeTypes || module < 2 || module > 5 || adjust < -3 || adjust > 3 ||
      (height == 0 && !postnet)) {
    printer.RejectBarCode(type);
    return;
  }
  const std::string_view data(reinterpret_cast<const char*>(command.params + kHeader),
                              static_cast<std::size_t>(command.paramLength - kHeader));
  const std::optional<BarCode> code = EncodeBarCode(kind, data, (flags & 1) != 0);
  if (!code) {
    printer.RejectBarCode(type);
    return;
  }

  // Element edges in 1/360 inch from the left end.
  std::vector<std::int32_t> edges{0};
  for (std::size_t i = 0; i < code->runs.size(); ++i) {
    const bool bar = i % 2 == 0;
    const std::int32_t width =
        postnet ? (bar ? kPostnetBar : kPostnetSpace) : code->runs[i] * 2 * module + (bar ? 0 : adjust);
    edges.push_back(edges.back() + width);
  }
  const Escp2Context context = printer.GraphicsContext();
  const std::int32_t left = context.job.X;
  const std::int32_t width = printer.DotsX(edges.back() * kUnitsPer360th);
  // A bar code cut off at the margin would not scan: the printer leaves it out.
  if (left + width > context.rightMarginX) {
    printer.RejectBarCode(type);
    return;
  }
  const std::int64_t tallest = postnet ? kPostnetTall : height;
  const bool digits = (flags & 2) == 0;
  // The digits' line counts as a sixth of an inch.
  const std::int64_t whole = tallest + (digits ? kTextGap + kUnitsPerInch / 6 : 0);
  if (printer.BeginImage(whole)) {
    const std::int32_t top = context.job.Y;
    for (std::size_t bar = 0; bar < code->runs.size(); bar += 2) {
      const bool shortBar = postnet && code->tall[bar / 2] == '0';
      const TextRect rect{left + printer.DotsX(edges[bar] * kUnitsPer360th),
                          top + (shortBar ? context.DotsDown(kPostnetTall - kPostnetShort) : 0),
                          left + printer.DotsX(edges[bar + 1] * kUnitsPer360th),
                          top + context.DotsDown(tallest)};
      // At a coarse resolution a thin bar or a short code can round to nothing.
      if (rect.right > rect.left && rect.bottom > rect.top) context.job.DeviceContext->FillRectangle(rect);
    }
    if (digits) PrintDigits(printer, kind, code->text, edges, left, module, tallest + kTextGap);
    const std::int32_t bottom = top + context.DotsDown(whole);
    context.graphics.lowestDrawn = std::max(context.graphics.lowestDrawn, bottom);
  }
  printer.EndImage(width);
}

void Escp2Interpreter::PrintBelow(std::int64_t units, std::int32_t x, std::string_view text, std::int32_t hmi) {
  Flush();
  // The printer's own upright sans serif at 10 cpi, whatever the text around it uses.
  const Escp2PrintMode mode = std::exchange(state_.mode, Escp2PrintMode{});
  state_.mode.typeface = 1;
  if (hmi > 0) state_.mode.pitch = 12, state_.mode.condensed = true, state_.mode.hmi = hmi;
  const std::uint8_t nationalSet = std::exchange(state_.nationalSet, std::uint8_t{0});
  const bool userChars = std::exchange(state_.userChars.selected, false);
  const std::int64_t vertical = state_.vertical;
  const std::int32_t column = job_.X;
  // No character wraps to a line of its own: those right of the margin are left out.
  const std::int32_t leftMargin = std::exchange(state_.leftMargin, state_.paperWidth);
  state_.vertical += units;
  SyncY();
  job_.X = x;
  for (char c : text) {
    if (job_.X >= job_.OriginX + RightLimit()) break;
    PrintByte(static_cast<std::uint8_t>(c));
  }
  Flush();
  state_.mode = mode;
  state_.nationalSet = nationalSet;
  state_.userChars.selected = userChars;
  state_.leftMargin = leftMargin;
  state_.vertical = vertical;
  SyncY();
  job_.X = column;
}

}  // namespace quillmark
