#pragma once
// The state of the ESC/P 2 printer for one job, beside the job's PrinterState (whose X and Y stay the
// print position in dots). Vertical lengths are kept in units (units.h), so that no rounding accumulates;
// horizontal ones in dots, as X. Print worker thread only.

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "emulation/escp2/escp2_character_codes.h"
#include "emulation/escp2/escp2_graphics.h"
#include "emulation/escp2/escp2_user_chars.h"
#include "emulation/units.h"

namespace quillmark {


enum class ScoreLine : std::uint8_t { kUnderline, kStrikeThrough, kOverscore };

struct Escp2PrintMode {
  bool letterQuality = true;  // ESC x
  std::uint8_t typeface = 0;  // ESC k: 0 Roman, 1 Sans Serif, ...
  std::uint8_t pitch = 10;    // 10, 12 or 15 characters per inch
  bool proportional = false;
  bool condensed = false;
  bool bold = false;
  bool doubleStrike = false;
  bool italic = false;
  bool doubleWidth = false;                  // ESC W
  bool doubleWidthLine = false;              // SO, ended by the next line
  bool doubleHeight = false;                 // ESC w
  std::uint8_t script = 0;                   // ESC S: 0 none, 1 superscript, 2 subscript
  std::array<std::uint8_t, 3> scoreLines{};  // by ScoreLine: 0 off, 1 single, 2 double (broken prints solid)
  std::uint8_t unused0 = 0;                  // the padding made a member, so that == can compare bytes
  std::int32_t hmi = 0;                      // ESC c: fixed advance in 1/360 inch; 0 = the pitch decides
  std::int32_t extraSpace = 0;               // ESC SP: space after each character, in units
  std::uint8_t style = 0;                    // ESC q: outline and shadow, printed as bold
  std::array<std::uint8_t, 3> unused1{};
  std::int32_t halfPoints = 21;              // ESC X: character size; 10.5 points at power-on
  // Runs for every printed character: one compare of 32 bytes, which the padding members make exact.
  bool operator==(const Escp2PrintMode& o) const { return std::memcmp(this, &o, sizeof(o)) == 0; }
};
static_assert(sizeof(Escp2PrintMode) == 32 && std::has_unique_object_representations_v<Escp2PrintMode>);

struct Escp2State {
  bool ninePin = false;  // the 9-pin ESC/P printer: its rows of the command table, 8-dot images 1/72 inch high
  Escp2PrintMode mode;

  // Page, from the top of form; all in units.
  std::int64_t pageLength = 0;
  std::int64_t topMargin = 0;
  std::int64_t bottomMargin = 0;  // the automatic page break; the page length when none is set
  std::int64_t vertical = 0;      // the print position
  std::int64_t lineSpacing = InUnits<6>(1);
  std::int64_t paperLength = 0;  // what fits on the paper below the top of form
  double scale = 1.0;            // < 1 while the form is longer than the paper

  // Horizontal, in dots from the page origin.
  std::int32_t leftMargin = 0;
  std::int32_t rightMargin = 0;
  std::int32_t paperWidth = 0;  // what fits on the paper right of the origin

  // Units of ESC ( U; until it is given, ESC $ and ESC \ keep their own units.
  bool unitDefined = false;
  std::int32_t verticalUnit = InUnits<360>(1);
  std::int32_t horizontalUnit = InUnits<360>(1);
  std::int32_t pageUnit = InUnits<360>(1);

  // Tab stops: HT columns as dots from the left margin, VT positions from the top of form.
  std::array<std::int32_t, 32> tabs{};
  std::uint8_t tabCount = 0;
  std::array<std::int64_t, 16> verticalTabs{};
  std::uint8_t verticalTabCount = 0;
  bool verticalTabsCleared = false;  // ESC B NUL: VT then only returns the carriage

  // Character tables: the table in use (ESC t), what each of the four slots holds (ESC ( t; 0 the italic
  // table, otherwise a code page), the national set (ESC R) and whether 128-159 print (ESC 6).
  std::uint8_t table = 1;
  std::array<std::int32_t, 4> slots{0, 437, 0, 437};
  std::uint8_t nationalSet = 0;
  bool upperControlsPrint = false;
  bool tableTwoAssigned = false;  // by ESC ( t: ESC t 2 then copies no downloaded characters
  MsbControl msb = MsbControl::kOff;

  // Densities of ESC K, L, Y, Z (ESC ? changes them).
  std::array<std::uint8_t, 4> imageModes{0, 1, 2, 3};

  Escp2GraphicsState graphics;
  Escp2UserCharSet userChars;   // ESC &, ESC :, ESC %
  Escp2UserCharSet upperChars;  // codes 128-255 of table 2, copied by ESC t 2
};

}  // namespace quillmark
