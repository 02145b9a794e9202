#include "emulation/escp2/escp2_graphics.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "emulation/escp2/bit_image.h"

namespace quillmark {
namespace {

// The ribbon colours of ESC r 0..6 as SetTextColor takes them (red in the low byte): black, magenta,
// cyan, violet, yellow, red, green. Black stays pure black.
constexpr std::uint32_t kRibbonColours[] = {0x000000, 0xFF00FF, 0xFFFF00, 0xFF0080,
                                            0x00FFFF, 0x0000FF, 0x00FF00};

// Dots of the page covered by `count` image dots of `unit` / 3600 inch at `dotsPerInch`.
std::int32_t PageDots(std::int64_t count, std::int32_t unit, double dotsPerInch) {
  return static_cast<std::int32_t>(
      std::lround(static_cast<double>(count) * unit * dotsPerInch / kImageUnitsPerInch));
}

// The printer passes no dots per inch down the page for a device it draws nothing on.
bool Drawable(const Escp2Context& context) {
  return context.job.DeviceContext != nullptr && context.job.DpiX > 0 && context.scaledDpiY > 0;
}

// Image dots of `unit` / 3600 inch that fit wholly left of the right margin.
std::int32_t DotsBeforeMargin(const Escp2Context& context, std::int32_t unit) {
  const std::int64_t room = std::int64_t{context.rightMarginX} - context.job.X;
  if (!Drawable(context) || room <= 0 || unit <= 0) return 0;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(room * kImageUnitsPerInch / (std::int64_t{unit} * context.job.DpiX), INT32_MAX));
}

// Keeps the leftmost `width` dots of every row.
void CropWidth(BitImage& image, std::int32_t width) {
  if (width >= image.width) return;
  BitImage cropped;
  cropped.width = width;
  cropped.height = image.height;
  const auto from = static_cast<std::size_t>(image.BytesPerRow());
  const auto to = static_cast<std::size_t>(cropped.BytesPerRow());
  cropped.bits.resize(to * static_cast<std::size_t>(image.height));
  for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); ++row) {
    std::copy_n(image.bits.begin() + static_cast<std::ptrdiff_t>(row * from), to,
                cropped.bits.begin() + static_cast<std::ptrdiff_t>(row * to));
    if (const int spare = static_cast<int>(to) * 8 - width; spare > 0) {
      cropped.bits[row * to + to - 1] &= static_cast<std::uint8_t>(0xFF << spare);
    }
  }
  image = std::move(cropped);
}

// Draws the image with its top-left corner at the print position.
void DrawAtPrintPosition(Escp2Context& context, const PrinterImage& decoded) {
  PrintDevice* device = context.job.DeviceContext.get();
  if (!Drawable(context) || decoded.image.width <= 0 || decoded.image.height <= 0) return;
  TextRect rect;
  rect.left = context.job.X;
  rect.top = context.job.Y;
  rect.right = rect.left + PageDots(decoded.image.width, decoded.dotWidth, context.job.DpiX);
  rect.bottom = rect.top + PageDots(decoded.image.height, decoded.dotHeight, context.scaledDpiY);
  device->DrawBitImage(decoded.image, rect);
  context.graphics.lowestDrawn = std::max(context.graphics.lowestDrawn, rect.bottom);
}

void PrintColumns(Escp2Context& context, const ColumnLayout& layout, int columns, const std::uint8_t* data) {
  if (layout.bytesPerColumn == 0 || columns <= 0 || data == nullptr) return;
  // Columns right of the margin are dropped before decoding: a printer ignores them.
  const std::int32_t shown = std::min(columns, DotsBeforeMargin(context, layout.dotWidth));
  const std::span<const std::uint8_t> bytes(
      data, static_cast<std::size_t>(shown) * static_cast<std::size_t>(layout.bytesPerColumn));
  DrawAtPrintPosition(context, DecodeColumns(layout, shown, bytes));
}

}  // namespace

int BitImageColumnsPerInch(int mode, bool ninePin) {
  const ColumnLayout layout = ninePin ? NinePinBitImageLayout(mode) : BitImageLayout(mode);
  return layout.dotWidth > 0 ? kImageUnitsPerInch / layout.dotWidth : 0;
}

void PrintBitImage(Escp2Context& context, int mode, int columns, const std::uint8_t* data) {
  PrintColumns(context, context.ninePin ? NinePinBitImageLayout(mode) : BitImageLayout(mode), columns, data);
}

void PrintNinePinImage(Escp2Context& context, int mode, int columns, const std::uint8_t* data) {
  PrintColumns(context, NinePinLayout(mode), columns, data);
}

void PrintRasterImage(Escp2Context& context, const RasterImageHeader& header, const std::uint8_t* data,
                      std::size_t length) {
  if (data == nullptr || !Drawable(context)) return;
  const RasterLayout layout{header.compression, header.verticalUnit, header.horizontalUnit, header.rows,
                            header.dots};
  PrinterImage decoded = DecodeRaster(layout, std::span<const std::uint8_t>(data, length));
  CropWidth(decoded.image, DotsBeforeMargin(context, decoded.dotWidth));
  DrawAtPrintPosition(context, decoded);
}

void SelectColour(Escp2Context& context, int colour) {
  // ESC r takes 0..6 or the digits '0'..'6'; anything else leaves the colour as it is.
  if (colour >= '0' && colour <= '6') colour -= '0';
  if (colour < 0 || colour > 6) return;
  context.graphics.colour = colour;
  if (PrintDevice* device = context.job.DeviceContext.get()) {
    device->SetTextColor(kRibbonColours[colour]);
  }
}

void SelectMicroWeave(Escp2Context& context, int value) { context.graphics.microWeave = value; }

}  // namespace quillmark
