#pragma once
// Bitmap soft fonts downloaded to the printer: the font header (ESC ) s # W) and each character (ESC * c # E,
// then ESC ( s # W) under the font ID of ESC * c # D. Only LaserJet bitmap fonts are kept; scalable
// downloads are read and dropped. Everything kept is bounded, so a take cannot grow the printer's memory
// without end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace quillmark {

struct PclSoftGlyph {
  std::int32_t left = 0;  // 300-dpi dots from the cursor to the bitmap's left edge
  std::int32_t top = 0;   // dots from the baseline up to the bitmap's top row
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t deltaX = 0;         // the advance in quarter dots
  std::vector<std::uint8_t> bits;  // rows of (width + 7) / 8 bytes, high bit leftmost
  std::size_t expected = 0;        // bytes the bitmap needs; continuations fill it up
};

struct PclSoftFont {
  std::int32_t dotsPerInch = 300;  // of the bitmaps; pitch and height are in quarters of these dots
  bool proportional = false;
  double pitch = 10;   // characters per inch
  double height = 12;  // points
  std::int32_t symbolSet = 0;
  std::int32_t style = 0;
  std::int32_t weight = 0;
  std::int32_t typeface = 0;
  std::array<std::unique_ptr<PclSoftGlyph>, 256> glyphs;
};

class PclSoftFonts {
 public:
  void SetFontId(std::int32_t id) { fontId_ = id; }
  void SetCharacterCode(std::int32_t code) { code_ = code; }
  std::int32_t FontId() const { return fontId_; }

  void DefineFont(const std::uint8_t* data, std::int32_t length);
  void DefineCharacter(const std::uint8_t* data, std::int32_t length);
  // ESC * c # F: 0 and 1 delete all fonts, 2 the current font, 3 the current character.
  void Control(std::int32_t operation);

  const PclSoftFont* Find(std::int32_t id) const;
  const std::map<std::int32_t, PclSoftFont>& Fonts() const { return fonts_; }

 private:
  static constexpr std::size_t kMaxBytes = 8u << 20;
  static constexpr std::size_t kMaxFonts = 256;

  std::map<std::int32_t, PclSoftFont> fonts_;
  std::int32_t fontId_ = 0;
  std::int32_t code_ = 0;
  PclSoftGlyph* last_ = nullptr;  // the character a continuation block extends
  std::size_t bytes_ = 0;
};

}  // namespace quillmark
