#pragma once
// The bar codes of ESC ( B: the printer's data turned into bars and spaces. Pure functions; the drawing
// is in bar_code_printing.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// The k parameter of ESC ( B.
enum class BarCodeType : std::uint8_t {
  kEan13,
  kEan8,
  kInterleaved2Of5,
  kUpcA,
  kUpcE,
  kCode39,
  kCode128,
  kPostnet,
};
inline constexpr int kBarCodeTypes = 8;

struct BarCode {
  std::vector<std::uint8_t> runs;  // widths in modules: a bar, a space, a bar, ... ending with a bar
  std::string tall;                // POSTNET only: '1' for a tall bar, '0' for a short one, one per bar
  std::string text;                // the human-readable characters, check digit included
};

// Encodes `data` as bar code `type`; with `addCheck` the printer appends the check digit the symbology
// takes. nullopt when the data has the wrong length or a character the symbology cannot hold: the
// printer then ignores the command.
std::optional<BarCode> EncodeBarCode(BarCodeType type, std::string_view data, bool addCheck);

class Escp2Interpreter;
struct Escp2Command;

// ESC ( B nL nH k m s v1 v2 c data: draws the bar code at the print position in the current colour, its
// top on the top of the line, and moves the print position to its right end. Ignored as a whole when a
// parameter is out of range, the data does not fit the symbology or the bar code would cross the right
// margin (bar_code_printing.cpp).
void PrintBarCode(Escp2Interpreter& printer, const Escp2Command& command);

// The modulo-10 check digit of EAN, UPC and Interleaved 2 of 5 ('0'-'9'), weighting 3 from the right.
char Modulo10CheckDigit(std::string_view digits);

}  // namespace quillmark
