// Rectangles, raster pictures and macros of the LaserJet.
#include <algorithm>
#include <cmath>

#include "emulation/pcl/pcl_commands.h"
#include "emulation/pcl/pcl_interpreter.h"
#include "emulation/pcl/pcl_raster.h"

namespace quillmark {
namespace {

constexpr std::int32_t kMaxMacroDepth = 2;
constexpr std::size_t kMaxMacros = 4096;

}  // namespace

bool PclInterpreter::ClipImageToPrintable(BitImage& image, TextRect& rect) const {
  TextRect visible = rect;
  if (!ClipToPrintable(visible)) return false;
  if (visible == rect) return true;
  const std::int64_t spanX = std::int64_t{rect.right} - rect.left;
  const std::int64_t spanY = std::int64_t{rect.bottom} - rect.top;
  // A pixel the edge crosses is left out: the printer puts no toner beyond it.
  const auto x0 = static_cast<std::int32_t>(
      ((std::int64_t{visible.left} - rect.left) * std::int64_t{image.width} + spanX - 1) / spanX);
  const auto x1 = static_cast<std::int32_t>((std::int64_t{visible.right} - rect.left) *
                                            std::int64_t{image.width} / spanX);
  const auto y0 = static_cast<std::int32_t>(
      ((std::int64_t{visible.top} - rect.top) * std::int64_t{image.height} + spanY - 1) / spanY);
  const auto y1 = static_cast<std::int32_t>((std::int64_t{visible.bottom} - rect.top) *
                                            std::int64_t{image.height} / spanY);
  if (x1 <= x0 || y1 <= y0) return false;
  BitImage cut;
  cut.width = x1 - x0;
  cut.height = y1 - y0;
  cut.bits.assign(static_cast<std::size_t>(cut.BytesPerRow()) * static_cast<std::size_t>(cut.height), 0);
  for (std::int32_t y = 0; y < cut.height; ++y) {
    const std::uint8_t* from =
        image.bits.data() + static_cast<std::size_t>(y + y0) * static_cast<std::size_t>(image.BytesPerRow());
    std::uint8_t* to =
        cut.bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(cut.BytesPerRow());
    for (std::int32_t x = 0; x < cut.width; ++x) {
      const std::int32_t source = x + x0;
      if ((from[source / 8] & (0x80 >> (source % 8))) != 0)
        to[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  rect = TextRect{static_cast<std::int32_t>(rect.left + x0 * spanX / image.width),
                  static_cast<std::int32_t>(rect.top + y0 * spanY / image.height),
                  static_cast<std::int32_t>(rect.left + x1 * spanX / image.width),
                  static_cast<std::int32_t>(rect.top + y1 * spanY / image.height)};
  image = std::move(cut);
  return true;
}

void PclInterpreter::Rectangle(std::int32_t fill) {
  if (fill < 0 || fill > 5 || fill == 4) return;
  PclState& state = state_;
  // Clipped to the logical page; a fraction of a dot counts as a whole one.
  const std::int64_t left = state.cursor.x;
  const std::int64_t top = state.cursor.y;
  const std::int64_t right = std::min(left + state.rectWidth, state.logicalWidth);
  const std::int64_t bottom = std::min(top + state.rectHeight, state.physicalLength);
  if (right <= left || bottom <= top) return;
  const auto ceilDots = [](std::int64_t units, std::int32_t dpi) {
    return static_cast<std::int32_t>(std::ceil(static_cast<double>(units) * dpi / kPclUnitsPerInch - 1e-9));
  };
  const TextRect rect{DotX(left), DotY(top), DotX(left) + ceilDots(right - left, target_.dpiX),
                      DotY(top) + ceilDots(bottom - top, target_.dpiY)};
  pageMarked_ = true;
  TextRect printable = rect;
  if (!ClipToPrintable(printable)) return;
  if (fill == 0 || fill == 5 || (fill == 2 && state.patternId >= 100)) {
    page_.Fill(printable);
    return;
  }
  if (fill == 1) {
    page_.Fill(printable, PclPage::Ink::kWhite);
    return;
  }
  // Shading and cross-hatching: the printer's 300-dpi pattern, anchored to the page.
  const std::int64_t x0 = (state.logicalLeft + left) / kPclUnitsPerDot300;
  const std::int64_t y0 = top / kPclUnitsPerDot300;
  BitImage image;
  image.width = static_cast<std::int32_t>((right - left + kPclUnitsPerDot300 - 1) / kPclUnitsPerDot300);
  image.height = static_cast<std::int32_t>((bottom - top + kPclUnitsPerDot300 - 1) / kPclUnitsPerDot300);
  image.bits.assign(static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height),
                    0);
  // Every pattern repeats after 16 rows: each of those rows is made once and copied down.
  constexpr std::int32_t kPeriod = 16;
  const auto rowBytes = static_cast<std::size_t>(image.BytesPerRow());
  bool any = false;
  for (std::int32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = image.bits.data() + static_cast<std::size_t>(y) * rowBytes;
    if (y >= kPeriod) {
      std::copy_n(row - kPeriod * rowBytes, rowBytes, row);
      continue;
    }
    for (std::int32_t x = 0; x < image.width; ++x) {
      if (!PclPatternDot(fill, state.patternId, x0 + x, y0 + y)) continue;
      row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      any = true;
    }
  }
  TextRect placed = rect;
  if (any && ClipImageToPrintable(image, placed)) page_.Image(std::move(image), placed);
}

void PclInterpreter::StartRaster(std::int32_t mode) {
  PclRaster& raster = state_.raster;
  if (raster.active) return;
  raster.active = true;
  raster.fromCursor = mode == 1 || mode == 3;
  raster.left = raster.fromCursor ? state_.cursor.x : 0;
  raster.top = state_.cursor.y;
  raster.rows = 0;
  raster.seed.clear();
  raster_ = BitImage();
}

void PclInterpreter::RasterRow(const std::uint8_t* data, std::int32_t length) {
  PclRaster& raster = state_.raster;
  if (!raster.active) StartRaster(0);
  const std::int64_t pixel = kPclUnitsPerInch / raster.resolution;
  // Rows and dots beyond the logical page are clipped, so a picture never outgrows a page.
  const auto widest =
      static_cast<std::int32_t>(std::max<std::int64_t>(0, (state_.logicalWidth - raster.left) / pixel));
  const auto deepest =
      static_cast<std::int32_t>(std::max<std::int64_t>(0, (state_.physicalLength - raster.top) / pixel));
  if (raster.sourceHeight > 0 && raster.rows >= raster.sourceHeight) return;
  const std::int32_t width = std::min(raster.sourceWidth > 0 ? raster.sourceWidth : widest, widest);
  const std::int32_t rowBytes = (width + 7) / 8;
  DecodePclRasterRow(raster.compression, data, length, rowBytes, raster.seed);
  if (raster.rows < deepest && rowBytes > 0) {
    // Without a source width the picture is as wide as its widest row's ink.
    std::int32_t used = rowBytes;
    if (raster.sourceWidth == 0) {
      while (used > 0 && raster.seed[static_cast<std::size_t>(used - 1)] == 0) --used;
      used = std::max(used, raster_.BytesPerRow());
    }
    const std::int32_t before = raster_.BytesPerRow();
    // A called macro gives back the raster state it found, rows and all: the picture is cut to match.
    if (raster_.height > raster.rows) {
      raster_.height = raster.rows;
      raster_.bits.resize(static_cast<std::size_t>(before) * static_cast<std::size_t>(raster.rows));
    }
    if (used > before) {
      // A wider row: the rows so far are laid out again at the new width.
      std::vector<std::uint8_t> wider(static_cast<std::size_t>(used) * static_cast<std::size_t>(raster.rows),
                                      0);
      for (std::int32_t row = 0; row < raster_.height; ++row) {
        std::copy_n(raster_.bits.begin() + row * before, before, wider.begin() + row * used);
      }
      raster_.bits = std::move(wider);
    }
    if (raster.sourceWidth > 0) {
      raster_.width = width;
    } else if (used * 8 > raster_.width) {
      raster_.width = std::min(used * 8, width);
    }
    const std::int32_t keep = raster_.BytesPerRow();
    raster_.bits.resize(static_cast<std::size_t>(keep) * static_cast<std::size_t>(raster.rows), 0);
    raster_.bits.insert(raster_.bits.end(), raster.seed.begin(),
                        raster.seed.begin() + std::min(keep, rowBytes));
    raster_.bits.resize(static_cast<std::size_t>(keep) * static_cast<std::size_t>(raster.rows + 1), 0);
    raster_.height = raster.rows + 1;
  }
  if (raster.rows <= deepest) ++raster.rows;  // rows below the page only move the cursor to its foot
  state_.cursor.y = std::min(state_.physicalLength, raster.top + raster.rows * pixel);
}

void PclInterpreter::RasterOffset(std::int32_t rows) {
  PclRaster& raster = state_.raster;
  if (!raster.active) StartRaster(0);
  const std::int64_t pixel = kPclUnitsPerInch / raster.resolution;
  const std::int64_t deepest = (state_.physicalLength - raster.top) / pixel;
  raster.rows = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(std::int64_t{raster.rows} + std::max(0, rows), 0, deepest));
  std::fill(raster.seed.begin(), raster.seed.end(), 0);
  state_.cursor.y = std::min(state_.physicalLength, raster.top + raster.rows * pixel);
}

void PclInterpreter::EndRaster() {
  PclRaster& raster = state_.raster;
  if (!raster.active) return;
  raster.active = false;
  const std::int64_t pixel = kPclUnitsPerInch / raster.resolution;
  if (raster_.width > 0 && raster_.height > 0) {
    TextRect rect{DotX(raster.left), DotY(raster.top), DotX(raster.left + raster_.width * pixel),
                  DotY(raster.top + raster_.height * pixel)};
    pageMarked_ = true;
    if (ClipImageToPrintable(raster_, rect)) page_.Image(std::move(raster_), rect);
  }
  raster_ = BitImage();
  raster.seed.clear();
  state_.cursor.x = raster.left;
}

void PclInterpreter::MacroControl(std::int32_t operation) {
  const std::int32_t id = state_.macroId;
  switch (operation) {
    case 0:
      if (defining_ || macroDepth_ > 0) return;
      defining_ = true;
      definition_.clear();
      return;
    case 1: {
      if (!defining_) return;
      defining_ = false;
      const auto old = macros_.find(id);
      if (old != macros_.end()) {
        macroBytes_ -= old->second.size();
        macros_.erase(old);
      }
      if (macros_.size() >= kMaxMacros || macroBytes_ + definition_.size() > kMaxPclMacroBytes) {
        droppedMacros_ = true;
        return;
      }
      macroBytes_ += definition_.size();
      macros_.emplace(id, std::move(definition_));
      definition_.clear();
      return;
    }
    case 2:
    case 3:
      RunMacro(id, operation == 3);
      return;
    case 4:
      overlayMacro_ = id;
      return;
    case 5:
      overlayMacro_ = -1;
      return;
    case 6:
    case 7:
      macros_.clear();
      macroBytes_ = 0;
      return;
    case 8: {
      const auto old = macros_.find(id);
      if (old == macros_.end()) return;
      macroBytes_ -= old->second.size();
      macros_.erase(old);
      return;
    }
    default:
      return;
  }
}

void PclInterpreter::RunMacro(std::int32_t id, bool call) {
  const auto macro = macros_.find(id);
  if (macro == macros_.end() || macroDepth_ >= kMaxMacroDepth) return;
  // The macro may delete or redefine itself while it runs.
  const std::string bytes = macro->second;
  ++macroDepth_;
  // A called macro (and the overlay) prints with the environment of the moment and leaves it as it was.
  PclState saved;
  if (call) saved = state_;
  // The overlay prints from the top of the page, wherever the page's text ended.
  if (inOverlay_) state_.cursor = PclCursor{0, FirstLine()};
  Interpret(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
  if (call) {
    FlushUnderline();
    state_ = std::move(saved);
    fontValid_ = false;
  }
  --macroDepth_;
}

}  // namespace quillmark
