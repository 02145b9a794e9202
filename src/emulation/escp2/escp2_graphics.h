#pragma once
// The graphics commands of the ESC/P 2 emulation. The interpreter parses each command, checks that its
// whole data block is inside the take, consumes it and then calls the one hook below that belongs to it;
// a hook never reads beyond what it is given and never consumes anything itself. The image hooks are called
// only while the job has a device that can be drawn on (one of a sane resolution). Print worker thread only.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "emulation/printer_state.h"
#include "emulation/units.h"

namespace quillmark {

// Graphics state that lasts for the job; the interpreter zeroes it at ESC @ and at the start of a job.
// Owned by the interpreter, read and changed only by the hooks.
struct Escp2GraphicsState {
  std::int32_t colour = 0;      // the argument of the last ESC r
  std::int32_t microWeave = 0;  // the argument of the last ESC ( i
  // Dots: the lowest edge of the images and bar codes on the page, which the footer must clear.
  std::int32_t lowestDrawn = 0;
};

// What a hook may use. Hooks draw only: the interpreter moves job.X past the image afterwards (by its
// width at its horizontal density) and never moves job.Y for an image. The vertical position is the top
// of the current print line.
struct Escp2Context {
  Printout& job;  // DeviceContext (may be null for SelectColour and SelectMicroWeave), DpiX, DpiY, X, Y
  Escp2GraphicsState& graphics;
  std::int32_t rightMarginX;  // dots: nothing is drawn at or right of it
  // Dots per inch down the page as the ESC/P 2 page is printed: DpiY, or less while a form longer than
  // the paper is scaled to fit. Image heights use this, never DpiY.
  double scaledDpiY;
  bool ninePin = false;  // 8-dot images of the 9-pin printer: 1/72 inch a dot down, its own densities

  // Dots down the page covered by `units`.
  std::int32_t DotsDown(std::int64_t units) const {
    return static_cast<std::int32_t>(
        std::llround(static_cast<double>(units) * scaledDpiY / static_cast<double>(kUnitsPerInch)));
  }
};

// Bytes per column for an ESC * density m: 1 for 8-dot modes (m < 32), 3 for 24-dot modes
// (32 <= m < 64), 6 for 48-dot modes (m >= 64).
inline int BitImageBytesPerColumn(int mode) { return mode < 32 ? 1 : (mode < 64 ? 3 : 6); }

// Columns per inch of an ESC * density, read from the decoder's density table; 0 for a density the
// printer does not know (its data is consumed and nothing moves).
int BitImageColumnsPerInch(int mode, bool ninePin);

// ESC * m nL nH, and ESC K / L / Y / Z with the density ESC ? has given them (0, 1, 2, 3 at power-on).
// `data` holds columns * BitImageBytesPerColumn(mode) bytes, top dot in the high bit of each column's
// first byte. Draws with its top-left at (job.X, job.Y).
void PrintBitImage(Escp2Context& context, int mode, int columns, const std::uint8_t* data);

// ESC ^ m nL nH: 9-dot columns, two bytes each (the ninth dot in the high bit of the second byte); m = 0
// for 60 and 1 for 120 dots per inch. `data` holds columns * 2 bytes.
void PrintNinePinImage(Escp2Context& context, int mode, int columns, const std::uint8_t* data);

// ESC . c v h m nL nH: m rows of `dots` dots, each row (dots + 7) / 8 bytes; v and h in 1/3600 inch per
// dot. With compression 0 `data` holds m * ((dots + 7) / 8) bytes; with compression 1 it is run-length
// coded (a counter byte n < 128: n + 1 literal bytes follow; n >= 128: the next byte 257 - n times) and
// `length` is exactly the bytes that decode to at least the full image. Other compressions are not passed.
// Draws with its top-left at (job.X, job.Y); the interpreter then moves job.X by dots * h / 3600 inch.
struct RasterImageHeader {
  int compression = 0;
  int verticalUnit = 0;    // v
  int horizontalUnit = 0;  // h
  int rows = 0;            // m
  int dots = 0;            // nL + 256 * nH
};
void PrintRasterImage(Escp2Context& context, const RasterImageHeader& header, const std::uint8_t* data,
                      std::size_t length);

// ESC r n: the colour of all following text and graphics.
void SelectColour(Escp2Context& context, int colour);

// ESC ( i 01 00 n: MicroWeave on (1 or 49) or off (0 or 48).
void SelectMicroWeave(Escp2Context& context, int value);

}  // namespace quillmark
