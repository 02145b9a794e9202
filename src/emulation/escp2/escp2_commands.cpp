#include "emulation/escp2/escp2_commands.h"

#include <array>

#include "emulation/code_pages.h"
#include "emulation/escp2/bar_codes.h"
#include "emulation/escp2/bit_image.h"
#include "emulation/escp2/escp2_character_codes.h"
#include "emulation/escp2/escp2_charsets.h"
#include "emulation/escp2/escp2_fonts.h"
#include "emulation/escp2/escp2_graphics.h"
#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/escp2/tiff_raster.h"

namespace quillmark {
namespace {

using Printer = Escp2Interpreter;
using Command = Escp2Command;
using Kind = Escp2ParamKind;
using Handler = void (*)(Printer&, const Command&);
using Row = Escp2Row;

// The argument rule of the on/off commands: 1 or "1" on, 0 or "0" off, anything else changes nothing.
bool Switch(std::int32_t n, bool& flag) {
  if (n == 1 || n == '1')
    flag = true;
  else if (n == 0 || n == '0')
    flag = false;
  else
    return false;
  return true;
}

void SelectPitch(Printer& p, std::uint8_t pitch) {
  p.Mode().pitch = pitch;
  p.Mode().hmi = 0;
}

void LineSpacing(Printer& p, std::int64_t units) { p.State().lineSpacing = units; }

// Units of ESC $ and ESC \ until ESC ( U defines one: 1/60 inch, and 1/180 (1/120 in draft; always on
// the 9-pin printer).
std::int64_t HorizontalUnit(Printer& p, bool relative) {
  if (p.State().unitDefined) return p.State().horizontalUnit;
  if (!relative) return InUnits<60>(1);
  if (p.State().ninePin) return InUnits<120>(1);
  return p.Mode().letterQuality ? InUnits<180>(1) : InUnits<120>(1);
}

std::int32_t Signed16(std::int32_t word) { return word >= 0x8000 ? word - 0x10000 : word; }

void SetTabs(Printer& p, const Command& c) {
  Escp2State& s = p.State();
  const std::int32_t column = p.ColumnWidth();
  s.tabCount = 0;
  for (std::int32_t i = 0; i < c.paramLength && s.tabCount < s.tabs.size(); ++i) {
    s.tabs[s.tabCount++] = c.params[i] * column;  // at most 255 columns of at most 3 inches
  }
}

void SetVerticalTabs(Printer& p, const Command& c) {
  Escp2State& s = p.State();
  s.verticalTabCount = 0;
  s.verticalTabsCleared = c.paramLength == 0;
  for (std::int32_t i = 0; i < c.paramLength && s.verticalTabCount < s.verticalTabs.size(); ++i) {
    s.verticalTabs[s.verticalTabCount++] = c.params[i] * s.lineSpacing;
  }
}

void MasterSelect(Printer& p, std::int32_t n) {
  Escp2PrintMode& m = p.Mode();
  m.pitch = (n & 1) ? 12 : 10;
  m.proportional = (n & 2) != 0;
  m.condensed = (n & 4) != 0;
  m.bold = (n & 8) != 0;
  m.doubleStrike = (n & 16) != 0;
  m.doubleWidth = (n & 32) != 0;
  m.doubleWidthLine = false;
  m.italic = (n & 64) != 0;
  m.scoreLines[0] = (n & 128) ? 1 : 0;
  m.hmi = 0;
}

void BitImage(Printer& p, int mode, const Command& c) {
  const int columns = c.Word(c.code == '*' ? 1 : 0);
  const ColumnLayout layout = p.State().ninePin ? NinePinBitImageLayout(mode) : BitImageLayout(mode);
  if (p.BeginImage(InUnits<3600>(std::int64_t{layout.dotsPerColumn} * layout.dotHeight))) {
    Escp2Context context = p.GraphicsContext();
    PrintBitImage(context, mode, columns, c.data);
  }
  if (const int perInch = BitImageColumnsPerInch(mode, p.State().ninePin)) {
    p.EndImage(p.DotsX(std::int64_t{columns} * kUnitsPerInch / perInch));
  }
}

// The commands after ESC, in the order of their codes.
constexpr std::array kRows = {
    Row{14, Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().doubleWidthLine = true; }},
    Row{15, Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().condensed = true; }},
    Row{25, Kind::kFixed, 1, nullptr},  // cut-sheet feeder
    Row{' ', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          p.Mode().extraSpace = static_cast<std::int32_t>(c.Param(0) * HorizontalUnit(p, true));
        }},
    Row{'!', Kind::kFixed, 1, [](Printer& p, const Command& c) { MasterSelect(p, c.Param(0)); }},
    Row{'#', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().msb = MsbControl::kOff; }},
    Row{'$', Kind::kFixed, 2,
        [](Printer& p, const Command& c) {
          p.SetHorizontal(std::int64_t{p.State().leftMargin} + p.DotsX(c.Word(0) * HorizontalUnit(p, false)));
        }},
    Row{'%', Kind::kFixed, 1, [](Printer& p, const Command& c) { SelectUserCharacters(p.State().userChars, c.Param(0)); }},
    Row{'&', Kind::kUserChars, 0, [](Printer& p, const Command& c) { DefineUserCharacters(p.State().userChars, p.Mode(), c); }},
    Row{'(', Kind::kCounted, 0, nullptr},  // by the second table
    Row{'*', Kind::kBitImage, 0, [](Printer& p, const Command& c) { BitImage(p, c.Param(0), c); }},
    Row{'+', Kind::kFixed, 1, [](Printer& p, const Command& c) { LineSpacing(p, InUnits<360>(c.Param(0))); }},
    Row{'-', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          bool on = p.Mode().scoreLines[0] != 0;
          if (Switch(c.Param(0), on)) p.Mode().scoreLines[0] = on ? 1 : 0;
        }},
    Row{'.', Kind::kRaster, 0, nullptr},  // carried out by ExecuteEscp2Command
    Row{'/', Kind::kFixed, 1, nullptr},  // vertical tab channel
    Row{'0', Kind::kFixed, 0, [](Printer& p, const Command&) { LineSpacing(p, InUnits<8>(1)); }},
    Row{'1', Kind::kFixed, 0, [](Printer& p, const Command&) { LineSpacing(p, InUnits<72>(7)); }},
    Row{'2', Kind::kFixed, 0, [](Printer& p, const Command&) { LineSpacing(p, InUnits<6>(1)); }},
    Row{'3', Kind::kFixed, 1, [](Printer& p, const Command& c) { LineSpacing(p, InUnits<180>(c.Param(0))); }},
    Row{'4', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().italic = true; }},
    Row{'5', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().italic = false; }},
    Row{'6', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().upperControlsPrint = true; }},
    Row{'7', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().upperControlsPrint = false; }},
    Row{'8', Kind::kFixed, 0, nullptr},  // paper-out detector
    Row{'9', Kind::kFixed, 0, nullptr},
    Row{':', Kind::kFixed, 3, [](Printer& p, const Command&) { CopyRomCharacters(p.State().userChars, p.Mode()); }},
    Row{'<', Kind::kFixed, 0, nullptr},  // one line unidirectional
    Row{'=', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().msb = MsbControl::kClear; }},
    Row{'>', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().msb = MsbControl::kSet; }},
    Row{'?', Kind::kFixed, 2,
        [](Printer& p, const Command& c) {
          const int index = c.Param(0) == 'K' ? 0 : c.Param(0) == 'L' ? 1 : c.Param(0) == 'Y' ? 2 : c.Param(0) == 'Z' ? 3 : -1;
          if (index >= 0) p.State().imageModes[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(c.Param(1));
        }},
    Row{'@', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Reset(); }},
    Row{'A', Kind::kFixed, 1, [](Printer& p, const Command& c) { LineSpacing(p, InUnits<60>(c.Param(0))); }},
    Row{'B', Kind::kList, 16, SetVerticalTabs},
    Row{'C', Kind::kPageLength, 0,
        [](Printer& p, const Command& c) {
          // ESC C n: n lines (1-127); ESC C NUL n: n inches (1-22).
          if (c.paramLength == 2 && c.Param(1) >= 1 && c.Param(1) <= 22) p.SetPageLength(c.Param(1) * kUnitsPerInch);
          if (c.paramLength == 1 && c.Param(0) >= 1 && c.Param(0) <= 127) p.SetPageLength(c.Param(0) * p.State().lineSpacing);
        }},
    Row{'D', Kind::kList, 32, SetTabs},
    Row{'E', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().bold = true; }},
    Row{'F', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().bold = false; }},
    Row{'G', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().doubleStrike = true; }},
    Row{'H', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().doubleStrike = false; }},
    Row{'I', Kind::kFixed, 1, nullptr},  // control codes as characters
    Row{'J', Kind::kFixed, 1, [](Printer& p, const Command& c) { p.MoveDown(InUnits<180>(c.Param(0))); }},
    Row{'K', Kind::kReassigned, 0, [](Printer& p, const Command& c) { BitImage(p, p.State().imageModes[0], c); }},
    Row{'L', Kind::kReassigned, 0, [](Printer& p, const Command& c) { BitImage(p, p.State().imageModes[1], c); }},
    Row{'M', Kind::kFixed, 0, [](Printer& p, const Command&) { SelectPitch(p, 12); }},
    Row{'N', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          Escp2State& s = p.State();
          const std::int64_t skip = c.Param(0) * s.lineSpacing;
          if (c.Param(0) >= 1 && skip < s.pageLength) s.bottomMargin = s.pageLength - skip;
        }},
    Row{'O', Kind::kFixed, 0, [](Printer& p, const Command&) { p.State().bottomMargin = p.State().pageLength; }},
    Row{'P', Kind::kFixed, 0, [](Printer& p, const Command&) { SelectPitch(p, 10); }},
    Row{'Q', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          const std::int32_t right = c.Param(0) * p.ColumnWidth();
          if (right > p.State().leftMargin) p.State().rightMargin = right;
        }},
    Row{'R', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          if (IsNationalSet(static_cast<std::uint8_t>(c.Param(0)))) p.State().nationalSet = static_cast<std::uint8_t>(c.Param(0));
        }},
    Row{'S', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          bool sub = false;
          if (Switch(c.Param(0), sub)) {
            p.Mode().script = sub ? 2 : 1;
          }
        }},
    Row{'T', Kind::kFixed, 0, [](Printer& p, const Command&) { p.Mode().script = 0; }},
    Row{'U', Kind::kFixed, 1, nullptr},  // unidirectional
    Row{'W', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          // Off also ends the one-line double width of SO.
          if (Switch(c.Param(0), p.Mode().doubleWidth) && !p.Mode().doubleWidth) p.Mode().doubleWidthLine = false;
        }},
    Row{'X', Kind::kFixed, 3,
        [](Printer& p, const Command& c) {
          Escp2PrintMode& m = p.Mode();
          if (c.Param(0) == 1) m.proportional = true;
          if (c.Param(0) >= 5) m.proportional = false, m.hmi = c.Param(0);
          if (c.Word(1) >= 16 && c.Word(1) <= 128) m.halfPoints = c.Word(1);
        }},
    Row{'Y', Kind::kReassigned, 0, [](Printer& p, const Command& c) { BitImage(p, p.State().imageModes[2], c); }},
    Row{'Z', Kind::kReassigned, 0, [](Printer& p, const Command& c) { BitImage(p, p.State().imageModes[3], c); }},
    Row{'\\', Kind::kFixed, 2,
        [](Printer& p, const Command& c) {
          const std::int32_t move = p.DotsX(Signed16(c.Word(0)) * HorizontalUnit(p, true));
          p.SetHorizontal(std::int64_t{p.Job().X} - p.Job().OriginX + move);
        }},
    Row{'^', Kind::kNinePin, 0,
        [](Printer& p, const Command& c) {
          const ColumnLayout layout = NinePinLayout(c.Param(0));
          if (p.BeginImage(InUnits<3600>(std::int64_t{layout.dotsPerColumn} * layout.dotHeight))) {
            Escp2Context context = p.GraphicsContext();
            PrintNinePinImage(context, c.Param(0), c.Word(1), c.data);
          }
          p.EndImage(p.DotsX(std::int64_t{c.Word(1)} * kUnitsPerInch / (c.Param(0) == 0 ? 60 : 120)));
        }},
    Row{'a', Kind::kFixed, 1, nullptr},  // justification
    Row{'b', Kind::kChannelList, 16, nullptr},
    Row{'c', Kind::kFixed, 2,
        [](Printer& p, const Command& c) {
          if (c.Word(0) > 0 && c.Word(0) <= 1080) p.Mode().hmi = c.Word(0);
        }},
    Row{'e', Kind::kFixed, 2, nullptr},
    Row{'f', Kind::kFixed, 2, nullptr},
    Row{'g', Kind::kFixed, 0, [](Printer& p, const Command&) { SelectPitch(p, 15); }},
    Row{'i', Kind::kFixed, 1, nullptr},  // immediate print
    Row{'j', Kind::kFixed, 1, [](Printer& p, const Command& c) { p.MoveDown(-InUnits<180>(c.Param(0))); }},
    Row{'k', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          // Ignored while the downloaded characters are selected.
          if (!p.State().userChars.selected) p.Mode().typeface = static_cast<std::uint8_t>(c.Param(0));
        }},
    Row{'l', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          const std::int32_t left = c.Param(0) * p.ColumnWidth();
          // Set at the start of a line, so the line starts there.
          if (left < p.State().rightMargin) {
            p.State().leftMargin = left;
            p.CarriageReturn();
          }
        }},
    Row{'m', Kind::kFixed, 1, nullptr},
    Row{'p', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          if (Switch(c.Param(0), p.Mode().proportional)) p.Mode().hmi = 0;
        }},
    Row{'q', Kind::kFixed, 1, [](Printer& p, const Command& c) { p.Mode().style = static_cast<std::uint8_t>(c.Param(0) & 3); }},
    Row{'r', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          Escp2Context context = p.SettingContext();
          SelectColour(context, c.Param(0));
        }},
    Row{'s', Kind::kFixed, 1, nullptr},  // half speed
    Row{'t', Kind::kFixed, 1,
        [](Printer& p, const Command& c) {
          SelectCharacterTable(p.State(), c.Param(0));
        }},
    Row{'w', Kind::kFixed, 1, [](Printer& p, const Command& c) { Switch(c.Param(0), p.Mode().doubleHeight); }},
    Row{'x', Kind::kFixed, 1, [](Printer& p, const Command& c) { Switch(c.Param(0), p.Mode().letterQuality); }},
};

// The 9-pin printer's own rows: vertical moves in 1/216 inch, ESC A in 1/72, its downloaded characters.
// The commands only the 24-pin printers know are consumed with their parameters and do nothing.
constexpr std::array kNinePinRows = {
    Row{'%', Kind::kFixed, 1, nullptr},  // its downloaded characters are not printed: the ROM ones stay
    Row{'&', Kind::kNinePinChars, 0, nullptr},
    Row{'(', Kind::kCounted, 0, nullptr},
    Row{'+', Kind::kFixed, 1, nullptr},
    Row{'.', Kind::kRaster, 0, nullptr},
    Row{'3', Kind::kFixed, 1, [](Printer& p, const Command& c) { LineSpacing(p, InUnits<216>(c.Param(0))); }},
    Row{':', Kind::kFixed, 3, nullptr},
    Row{'A', Kind::kFixed, 1, [](Printer& p, const Command& c) { LineSpacing(p, InUnits<72>(c.Param(0))); }},
    Row{'J', Kind::kFixed, 1, [](Printer& p, const Command& c) { p.MoveDown(InUnits<216>(c.Param(0))); }},
    Row{'X', Kind::kFixed, 3, nullptr},
    Row{'c', Kind::kFixed, 2, nullptr},
    Row{'g', Kind::kFixed, 0, nullptr},
    Row{'j', Kind::kFixed, 1, [](Printer& p, const Command& c) { p.MoveDown(-InUnits<216>(c.Param(0))); }},
    Row{'q', Kind::kFixed, 1, nullptr},
};

// The commands ESC ( x, all with a counted parameter block.
struct ParenRow {
  std::uint8_t sub;
  Handler handler;
};

constexpr std::array kParenRows = {
    ParenRow{'-',
             [](Printer& p, const Command& c) {
               // 01 d1 d2: d1 1 underline, 2 strike-through, 3 overscore; d2 0 off, 1/5 single, 2/6 double.
               const std::int32_t line = c.Param(1) - 1;
               const std::int32_t kind = c.Param(2);
               if (c.paramLength != 3 || line < 0 || line > 2) return;
               const std::uint8_t value = kind == 0                  ? 0
                                          : (kind == 1 || kind == 5) ? 1
                                          : (kind == 2 || kind == 6) ? 2
                                                                     : 255;
               if (value != 255) p.Mode().scoreLines[static_cast<std::size_t>(line)] = value;
             }},
    ParenRow{'B', PrintBarCode},
    ParenRow{'C',
             [](Printer& p, const Command& c) {
               const std::int64_t length = c.paramLength == 4 ? c.Word(0) + 65536LL * c.Word(2) : c.Word(0);
               if (c.paramLength == 2 || c.paramLength == 4) p.SetPageLength(length * p.State().pageUnit);
             }},
    ParenRow{'U',
             [](Printer& p, const Command& c) {
               Escp2State& s = p.State();
               if (c.paramLength == 1 && c.Param(0) > 0) {
                 s.pageUnit = s.verticalUnit = s.horizontalUnit = static_cast<std::int32_t>(InUnits<3600>(c.Param(0)));
                 s.unitDefined = true;
               } else if (c.paramLength == 5 && c.Word(3) > 0 && c.Param(0) > 0 && c.Param(1) > 0 &&
                          c.Param(2) > 0) {
                 // P V H over a base: units of P/base, V/base and H/base inch.
                 const auto unit = [&](std::int32_t n) {
                   return static_cast<std::int32_t>(n * kUnitsPerInch / c.Word(3));
                 };
                 s.pageUnit = unit(c.Param(0));
                 s.verticalUnit = unit(c.Param(1));
                 s.horizontalUnit = unit(c.Param(2));
                 s.unitDefined = true;
               }
             }},
    ParenRow{'V',
             [](Printer& p, const Command& c) {
               if (c.paramLength == 2)
                 p.SetVertical(p.State().topMargin + std::int64_t{c.Word(0)} * p.State().verticalUnit);
             }},
    ParenRow{'^', [](Printer& p, const Command& c) { p.PrintCharacters(c.params, c.paramLength); }},
    ParenRow{'c',
             [](Printer& p, const Command& c) {
               if (c.paramLength == 4)
                 p.SetMargins(std::int64_t{c.Word(0)} * p.State().pageUnit,
                              std::int64_t{c.Word(2)} * p.State().pageUnit);
             }},
    ParenRow{'i',
             [](Printer& p, const Command& c) {
               if (c.paramLength != 1) return;
               Escp2Context context = p.SettingContext();
               SelectMicroWeave(context, c.Param(0));
             }},
    ParenRow{'t',
             [](Printer& p, const Command& c) {
               const std::int32_t slot = c.Param(0) >= '0' ? c.Param(0) - '0' : c.Param(0);
               const std::int32_t table =
                   TableForCode(static_cast<std::uint8_t>(c.Param(1)), static_cast<std::uint8_t>(c.Param(2)));
               if (c.paramLength != 3 || slot < 0 || slot > 3 || table < 0) return;
               p.State().slots[static_cast<std::size_t>(slot)] = table;
               if (slot == 2) p.State().tableTwoAssigned = true;
             }},
    ParenRow{'v',
             [](Printer& p, const Command& c) {
               if (c.paramLength == 2) p.MoveDown(std::int64_t{Signed16(c.Word(0))} * p.State().verticalUnit);
             }},
};

}  // namespace

const Escp2Row* FindEscp2Row(std::uint8_t code, bool ninePin) {
  if (ninePin) {
    for (const Escp2Row& row : kNinePinRows) {
      if (row.code == code) return &row;
    }
  }
  for (const Escp2Row& row : kRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

void ExecuteEscp2Command(Escp2Interpreter& printer, const Escp2Command& command) {
  if (printer.State().ninePin) {
    const Row* row = FindEscp2Row(command.code, true);
    if (row != nullptr && row->handler != nullptr) row->handler(printer, command);
    return;
  }
  if (command.code == '(') {
    for (const ParenRow& row : kParenRows) {
      if (row.sub == command.sub) row.handler(printer, command);
    }
    return;
  }
  if (command.code == '.') {
    if (command.Param(0) == 2 || command.Param(0) == 3) {
      RunTiffRaster(printer, command);
      return;
    }
    if (command.Param(0) > 1 || command.data == nullptr) return;
    RasterImageHeader header;
    header.compression = command.Param(0);
    header.verticalUnit = command.Param(1);
    header.horizontalUnit = command.Param(2);
    header.rows = command.Param(3);
    header.dots = command.Word(4);
    if (printer.BeginImage(InUnits<3600>(std::int64_t{header.rows} * header.verticalUnit))) {
      Escp2Context context = printer.GraphicsContext();
      PrintRasterImage(context, header, command.data, static_cast<std::size_t>(command.dataLength));
    }
    printer.EndImage(printer.DotsX(InUnits<3600>(std::int64_t{header.dots} * header.horizontalUnit)));
    return;
  }
  if (const Row* row = FindEscp2Row(command.code); row != nullptr && row->handler != nullptr) {
    row->handler(printer, command);
  }
}

}  // namespace quillmark
