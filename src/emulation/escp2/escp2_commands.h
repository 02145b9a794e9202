#pragma once
// The ESC/P 2 command table: for each command after ESC, how long its parameters are and what it does.
// The lengths decide what is consumed, so no parameter or data byte is ever printed.

#include <cstdint>

namespace quillmark {

class Escp2Interpreter;
struct Escp2State;

// One command as read from the data; every pointer lies inside the data.
struct Escp2Command {
  std::uint8_t code = 0;                 // the byte after ESC
  std::uint8_t sub = 0;                  // ESC ( x: the x
  const std::uint8_t* params = nullptr;  // fixed parameters, the counted block or the list without its end
  std::int32_t paramLength = 0;
  const std::uint8_t* data = nullptr;  // image or character data after the parameters
  std::int32_t dataLength = 0;

  // The parameter at `index`, 0 when the command carries fewer.
  std::int32_t Param(std::int32_t index) const { return index < paramLength ? params[index] : 0; }
  // nL + 256 * nH at `index`.
  std::int32_t Word(std::int32_t index) const { return Param(index) + 256 * Param(index + 1); }
};

// How the parameters of a command are laid out.
enum class Escp2ParamKind : std::uint8_t {
  kFixed,        // `count` bytes
  kCounted,      // ESC ( x nL nH and nL + 256 nH bytes
  kList,         // up to `count` bytes, ended by NUL or by a value not above the one before
  kChannelList,  // one byte, then a list as kList
  kPageLength,   // n, or NUL and n
  kBitImage,     // m nL nH, then columns at the density m
  kReassigned,   // nL nH, then columns at the density ESC ? gave this command
  kNinePin,      // m nL nH, then two bytes per column
  kRaster,       // c v h m nL nH, then the rows (run-length coded when c = 1) or binary commands (c = 2, 3)
  kUserChars,    // NUL n m, then per character a0 a1 a2 and 3 x a1 bytes (2 x a1 in super/subscript)
  kNinePinChars, // NUL n m, then per character an attribute byte and 11 columns (the 9-pin printer's ESC &)
};

struct Escp2Row {
  std::uint8_t code;
  Escp2ParamKind kind;
  std::uint8_t count;
  void (*handler)(Escp2Interpreter&, const Escp2Command&);  // nullptr: consumed and ignored
};

// The row of a command code; nullptr for codes the printer does not know (they take no parameters).
// The 9-pin printer has rows of its own for the commands whose units or layout differ.
const Escp2Row* FindEscp2Row(std::uint8_t code, bool ninePin = false);

// Reads the command whose code is at data[position] (the byte after ESC). On success fills `command`
// and returns the bytes it takes from the code on; returns 0 when the data ends inside the command, which
// is then dropped with the rest of the data.
// `state` gives the densities ESC ? has assigned to ESC K, L, Y and Z.
std::int32_t ReadEscp2Command(const std::uint8_t* data, std::int32_t length, std::int32_t position,
                              const Escp2State& state, Escp2Command& command);

// Carries out a command read by ReadEscp2Command; commands the printer knows but this emulation does not
// act on are ignored.
void ExecuteEscp2Command(Escp2Interpreter& printer, const Escp2Command& command);

}  // namespace quillmark
