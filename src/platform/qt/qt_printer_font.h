#pragma once
// A printer font made from a FontRequest: a DejaVu face (or the typeface its faceName asks for, in its
// italic when asked) at the requested em height, glyph shapes scaled
// horizontally to the requested width, and the 256 glyphs and whole-dot advances of its character set.
// Immutable once made, so devices and the font table may share it.

#include <QRawFont>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/print_device.h"

namespace quillmark {

class QtPrinterFont {
 public:
  // Nullptr when no face of the requested pitch can be loaded at all.
  static std::shared_ptr<const QtPrinterFont> Make(const FontRequest& request);

  const QRawFont& RawFont() const { return raw_; }
  // Horizontal scale applied to the glyph shapes (1 = the face's natural width).
  double ScaleX() const { return scaleX_; }
  // Dots the second pass of a double-strike font lies below the first; 0 for a single pass.
  std::int32_t DoubleStrikeOffset() const { return doubleStrikeOffset_; }
  // Whole dots from the top of the character cell to the baseline, and of the whole cell.
  std::int32_t Ascent() const { return ascent_; }
  std::int32_t LineHeight() const { return lineHeight_; }

  std::uint32_t Glyph(std::uint8_t byte) const { return glyphs_[byte]; }
  // Spaces advance but leave no ink, so they need not be painted.
  bool Blank(std::uint8_t byte) const { return blank_[byte]; }
  std::int32_t Advance(std::uint8_t byte) const { return advances_[byte]; }

  // The glyph and whole-dot advance of any character; a character the face lacks gets its missing-glyph
  // box. A fixed pitch advances every character by the same amount.
  void UnicodeGlyph(char32_t character, std::uint32_t& glyph, std::int32_t& advance) const;

 private:
  QtPrinterFont() = default;

  QRawFont raw_;
  double scaleX_ = 1.0;
  std::int32_t doubleStrikeOffset_ = 0;
  std::int32_t ascent_ = 0;
  std::int32_t lineHeight_ = 0;
  std::array<std::uint32_t, 256> glyphs_{};
  std::array<std::int32_t, 256> advances_{};
  std::array<bool, 256> blank_{};
  // Unicode glyphs looked up once, for the characters of the DOS code pages and their neighbours.
  bool fixedPitch_ = true;
  std::int32_t fixedAdvance_ = 0;
  std::vector<std::uint32_t> unicodeGlyphs_;
  std::vector<std::int32_t> unicodeAdvances_;
};

// The Unicode character for `byte` in character set `charSet`: 255 (OEM) is the DOS code page 437,
// every other set is read as Latin-1.
char16_t DecodeFontByte(std::uint8_t charSet, std::uint8_t byte);

}  // namespace quillmark
