// The LaserJet's text: characters of the current font, soft-font characters, line and block characters,
// underlines.
#include <algorithm>
#include <cmath>
#include <string>

#include "emulation/block_characters.h"
#include "emulation/dot_math.h"
#include "emulation/pcl/pcl_interpreter.h"
#include "emulation/pcl/pcl_symbol_sets.h"

namespace quillmark {
namespace {

constexpr std::size_t kMaxFonts = 128;
// The underline of a fixed underline: 5 dots below the baseline, 3 dots thick at 300 dpi.
constexpr std::int64_t kUnderlineDistance = 5 * kPclUnitsPerDot300;
constexpr std::int64_t kUnderlineThickness = 3 * kPclUnitsPerDot300;

}  // namespace

void PclInterpreter::PrintTransparent(const std::uint8_t* data, std::int32_t length) {
  for (std::int32_t i = 0; i < length; ++i) PrintByte(data[i]);
}

const PclFont& PclInterpreter::ChooseFont() {
  fontValid_ = true;
  const std::size_t which = state_.secondary ? 1 : 0;
  font_ = PclFont();
  if (state_.byId[which] >= 0) font_ = PclFontById(state_.byId[which], softFonts_);
  if (font_.face == nullptr && font_.softFontId < 0) font_ = ChoosePclFont(state_.wanted[which], softFonts_);
  fontHandle_ = 0;
  fontEm_ = 0;
  fontAscent_ = 0;
  fontAdvance_ = 0;
  if (font_.face != nullptr) {
    FontRequest request;
    fontEm_ = std::max(1, RoundToDots(font_.height * target_.dpiY / 72.0));
    request.height = -fontEm_;
    fontAdvance_ = font_.proportional ? 0 : std::max(1, RoundToDots(target_.dpiX / font_.pitch));
    request.width = fontAdvance_;
    request.weight = font_.bold ? 700 : 400;
    request.italic = font_.italic ? 1 : 0;
    request.pitchAndFamily = font_.proportional ? 2 : 1;
    request.faceName = std::string(font_.face->name);
    fontHandle_ = HandleFor(request);
    fontAscent_ = static_cast<std::int32_t>(std::lround(font_.face->ascent * fontEm_));
  }
  return font_;
}

FontHandle PclInterpreter::HandleFor(const FontRequest& request) {
  for (const CachedFont& font : fonts_) {
    if (font.request == request) return font.handle;
  }
  // Pages hold their fonts until printed, so none is released early; a take that walks through very many
  // sizes prints the rest with the last font made.
  if (fonts_.size() >= kMaxFonts) return fonts_.back().handle;
  const FontHandle handle = printers_.CreateFont(request);
  if (handle == 0) return 0;
  fonts_.push_back(CachedFont{request, handle});
  return handle;
}

std::int32_t PclInterpreter::DeviceAdvance(FontHandle font, char32_t character) {
  if (target_.device == nullptr || font == 0) return 0;
  target_.device->SelectFont(font);
  TextRect rect;
  const char32_t text[1] = {character};
  target_.device->MeasureUnicodeText(std::u32string_view(text, 1), rect);
  return rect.right - rect.left;
}

void PclInterpreter::PrintByte(std::uint8_t byte) {
  const PclFont& font = CurrentFont();
  PclState& state = state_;
  if (font.softFontId >= 0) {
    const PclSoftFont* soft = softFonts_.Find(font.softFontId);
    const PclSoftGlyph* glyph = soft != nullptr ? soft->glyphs[byte].get() : nullptr;
    if (glyph == nullptr) return;
    // A font's dots are 300 dpi, or the resolution its header names (format 20).
    const std::int64_t dot = kPclUnitsPerInch / soft->dotsPerInch;
    const std::int64_t advance = font.proportional ? glyph->deltaX * dot / 4 : state.hmi;
    if (state.wrap && state.cursor.x + advance > state.rightMargin && state.cursor.x > state.leftMargin) {
      CarriageReturn();
      LineFeed();
    }
    const std::int64_t left = state.cursor.x + glyph->left * dot;
    const std::int64_t top = state.cursor.y - glyph->top * dot;
    if (glyph->width > 0 && glyph->height > 0 && glyph->bits.size() == glyph->expected) {
      BitImage image{glyph->width, glyph->height, glyph->bits};
      TextRect rect{DotX(left), DotY(top), DotX(left + glyph->width * dot), DotY(top + glyph->height * dot)};
      if (ClipImageToPrintable(image, rect)) page_.Image(std::move(image), rect);
    }
    if (state.underline != 0) Underline(state.cursor.x, state.cursor.x + advance);
    state.cursor.x = std::min(state.cursor.x + advance, state.logicalWidth);
    pageMarked_ = true;
    return;
  }
  const char32_t character = PclCharacter(font.symbolSet, byte);
  if (character == 0) return;
  std::int32_t deviceAdvance = fontAdvance_;
  std::int64_t advance = state.hmi;
  if (font.proportional && character != U' ') {
    deviceAdvance = DeviceAdvance(fontHandle_, character);
    advance = std::llround(static_cast<double>(deviceAdvance) * kPclUnitsPerInch / target_.dpiX);
    if (target_.device == nullptr) advance = state.hmi;
  }
  if (state.wrap && state.cursor.x + advance > state.rightMargin && state.cursor.x > state.leftMargin) {
    CarriageReturn();
    LineFeed();
  }
  // Characters past the right edge of the logical page are not printed.
  if (state.cursor.x + advance > state.logicalWidth) {
    state.cursor.x = state.logicalWidth;
    return;
  }
  pageMarked_ = true;
  if (IsBlockCharacter(character) && target_.device != nullptr) {
    // Line and block characters fill the whole line pitch, so that boxes join from line to line.
    const std::int64_t pitch = state.vmi > 0 ? state.vmi : kPclUnitsPerInch / 6;
    const TextRect cell{DotX(state.cursor.x), DotY(state.cursor.y - pitch * 3 / 4),
                        DotX(state.cursor.x + advance), DotY(state.cursor.y + pitch / 4)};
    blocks_.clear();
    if (BlockRectangles(character, cell, std::max(1, target_.dpiY / 100), blocks_)) {
      for (TextRect& rect : blocks_) {
        if (ClipToPrintable(rect)) page_.Fill(rect);
      }
      const std::int32_t top = DotY(state.cursor.y) - fontAscent_;
      const TextRect text{cell.left, top, cell.right, top + fontEm_};
      if (TextRect visible = text; fontHandle_ != 0 && ClipToPrintable(visible)) {
        page_.Text(fontHandle_, character, text, text.right - text.left, true);
      }
      if (state.underline != 0) Underline(state.cursor.x, state.cursor.x + advance);
      state.cursor.x += advance;
      return;
    }
  }
  if (character != U' ' && fontHandle_ != 0) {
    const std::int32_t left = DotX(state.cursor.x);
    const std::int32_t top = DotY(state.cursor.y) - fontAscent_;
    std::int32_t right = font.proportional ? left + deviceAdvance : DotX(state.cursor.x + advance);
    // An HMI of 0 overstrikes: the character still takes its own width on paper.
    if (right <= left) right = left + fontAdvance_;
    // A character wholly in the unprintable margin leaves no mark.
    TextRect visible{left, top, right, top + fontEm_};
    if (ClipToPrintable(visible)) {
      page_.Text(fontHandle_, character, TextRect{left, top, right, top + fontEm_},
                 font.proportional ? deviceAdvance : fontAdvance_);
    }
  }
  if (state.underline != 0) Underline(state.cursor.x, state.cursor.x + advance);
  state.cursor.x += advance;
}

std::int32_t PclInterpreter::PrintPlainText(const std::uint8_t* data, std::int32_t length) {
  // Only what PrintByte would print as it comes: a resident font of fixed pitch, no underline, no line or
  // block characters, no wrap and nothing past the logical page; anything else goes the long way.
  const PclFont& font = CurrentFont();
  if (font.softFontId >= 0 || font.proportional || fontHandle_ == 0 || state_.underline != 0 ||
      target_.device == nullptr) {
    return 0;
  }
  PclState& state = state_;
  const std::int64_t advance = state.hmi;
  const std::int64_t limit =
      state.wrap ? std::min(state.rightMargin, state.logicalWidth) : state.logicalWidth;
  const std::int32_t top = DotY(state.cursor.y) - fontAscent_;
  std::int32_t used = 0;
  for (; used < length; ++used) {
    const std::uint8_t byte = data[used];
    if (byte < 32) break;
    const char32_t character = PclCharacter(font.symbolSet, byte);
    if (character == 0 || IsBlockCharacter(character) || state.cursor.x + advance > limit) break;
    if (character != U' ') {
      const std::int32_t left = DotX(state.cursor.x);
      std::int32_t right = DotX(state.cursor.x + advance);
      if (right <= left) right = left + fontAdvance_;
      if (TextRect visible{left, top, right, top + fontEm_}; ClipToPrintable(visible)) {
        page_.Text(fontHandle_, character, TextRect{left, top, right, top + fontEm_}, fontAdvance_);
      }
    }
    state.cursor.x += advance;
  }
  if (used > 0) pageMarked_ = true;
  return used;
}

void PclInterpreter::Underline(std::int64_t left, std::int64_t right) {
  if (underlineOpen_ && underlineY_ == state_.cursor.y && underlineRight_ == left) {
    underlineRight_ = right;
    return;
  }
  FlushUnderline();
  underlineOpen_ = true;
  underlineY_ = state_.cursor.y;
  underlineLeft_ = left;
  underlineRight_ = right;
}

void PclInterpreter::FlushUnderline() {
  if (!underlineOpen_) return;
  underlineOpen_ = false;
  // A floating underline sits by the font; the resident faces put it where the fixed one is.
  const std::int64_t top = underlineY_ + kUnderlineDistance;
  TextRect rect{DotX(underlineLeft_), DotY(top), DotX(underlineRight_), DotY(top + kUnderlineThickness)};
  if (ClipToPrintable(rect)) page_.Fill(rect);
}

}  // namespace quillmark
