#pragma once
// The extended raster modes of ESC/P 2: ESC . 2 v h 1 0 0 (TIFF) and ESC . 3 v h 1 0 0 (delta row). After
// the header the printer reads one-byte binary commands, not text, until <EXIT>:
//   001F xxxx <XFER>  PackBits-coded raster data: F = 0, the low nibble counts the coded bytes; F = 1, the
//                     count follows in 1 (nibble 1) or 2 (nibble 2, low byte first) bytes
//   010F xxxx <MOVX>  relative horizontal move: F = 0, the nibble signed; F = 1, a signed byte or word
//   011F xxxx <MOVY>  move down (never up) as <MOVX>, unsigned; returns the carriage
//   1000 xxxx <COLR>  band colour 0 black, 1 magenta, 2 cyan, 4 yellow; returns the carriage
//   E1 <CLR> clear the seed row, E2 <CR>, E3 <EXIT>, E4 <MOVXBYTE> (8-dot moves), E5 <MOVXDOT> (1-dot)
// Every other byte is ignored. In the delta row mode each colour keeps a seed row: <XFER> replaces its
// bytes at the print position, <MOVX> skips bytes unchanged, and the seed rows print on every row <MOVY>
// leaves and at <EXIT>. Print worker thread only.

#include <cstdint>

namespace quillmark {

class Escp2Interpreter;
struct Escp2Command;

// Bytes of the binary commands at `data`: up to and including the first <EXIT>, or all `length` bytes
// when none comes (a command cut off by the end is then consumed with them).
std::int64_t TiffRasterLength(const std::uint8_t* data, std::int64_t length);

// Carries out ESC . 2 or ESC . 3 with its binary commands in command.data. Rows of one colour are drawn as
// one image per band at the dot size of the header; <MOVX> counts in the unit of ESC ( U (the header's dot
// until one is given), <MOVY> in its vertical unit (the header's row). Ends with the carriage at the left
// margin and the vertical position moved by every <MOVY>.
void RunTiffRaster(Escp2Interpreter& printer, const Escp2Command& command);

}  // namespace quillmark
