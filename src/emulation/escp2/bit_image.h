#pragma once
// Decoders for the dot graphics of an Epson 24-pin printer: column graphics (ESC *, ESC K/L/Y/Z, ESC ^)
// and raster graphics (ESC .). Each turns the bytes of one command into a BitImage plus the size of its
// dots, so that the caller can place it on the page. Pure functions: they read only the bytes they are
// given, never more, and never allocate more than those bytes can fill.

#include <cstddef>
#include <cstdint>
#include <span>

#include "emulation/units.h"
#include "platform/print_device.h"

namespace quillmark {

// Every density of the printer is a whole number of 1/3600 inch per dot, so dot sizes are kept in that unit.
constexpr std::int32_t kImageUnitsPerInch = 3600;

// One decoded image; a dot is dotWidth / 3600 inch wide and dotHeight / 3600 inch high.
struct PrinterImage {
  BitImage image;
  std::int32_t dotWidth = 0;
  std::int32_t dotHeight = 0;
};

// How one column graphics command lays out its data: every column is bytesPerColumn bytes, read top dot
// first from the high bit of its first byte; the column has dotsPerColumn dots.
struct ColumnLayout {
  std::int32_t bytesPerColumn = 0;  // 0: a density the printer does not know
  std::int32_t dotsPerColumn = 0;
  std::int32_t dotWidth = 0;  // in 1/3600 inch
  std::int32_t dotHeight = 0;
};

// The layout of ESC * density m (ESC K/L/Y/Z use the density ESC ? has given them); bytesPerColumn is 0
// for a density not in the printer's table.
ColumnLayout BitImageLayout(int mode);
// The same on the 9-pin printer: modes 0-7, eight dots 1/72 inch apart; zero for any other mode.
ColumnLayout NinePinBitImageLayout(int mode);

// The layout of ESC ^ m: nine-dot columns in two bytes (the ninth dot is the high bit of the second byte)
// at 60 (m = 0) or 120 (m = 1) columns per inch and 72 dots per inch down; zero for any other m.
ColumnLayout NinePinLayout(int mode);

// Decodes at most `columns` columns from `data`. Only whole columns that are present are decoded, so data
// cut short gives a narrower image; an unknown layout or no column gives an empty image.
PrinterImage DecodeColumns(const ColumnLayout& layout, std::int32_t columns,
                           std::span<const std::uint8_t> data);

// How ESC . c v h m nL nH describes its data.
struct RasterLayout {
  int compression = 0;     // 0 plain rows, 1 run-length coded; others decode to nothing
  int verticalUnit = 0;    // v: dot height in 1/3600 inch
  int horizontalUnit = 0;  // h: dot width in 1/3600 inch
  int rows = 0;            // m
  int dots = 0;            // dots per row (nL + 256 * nH)
};

// Decodes the rows of a raster image. Rows run (dots + 7) / 8 bytes; with compression 1 the data is a
// sequence of counters: n < 128 is followed by n + 1 literal bytes, n >= 128 by one byte that repeats
// 257 - n times. A run that crosses the end of a row continues on the next row, as the printer fills its
// buffer; bytes past the last row are ignored. Data that ends early gives only the rows it began, the
// rest of the last one clear. A unit of 0 gives an empty image.
PrinterImage DecodeRaster(const RasterLayout& layout, std::span<const std::uint8_t> data);

}  // namespace quillmark
