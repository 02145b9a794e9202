#pragma once
// A printer font made from a FontRequest: a face at the requested em height, its glyph shapes scaled
// across to the requested width, with whole-dot advances. Its metrics follow the rounding of the Qt
// font engine this replaces, so pages keep every character where they had it. Immutable once made.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/pdf/font_program.h"
#include "platform/print_device.h"

namespace quillmark::pdf {

class PrinterFont {
 public:
  // Nullptr when no face for the request can be loaded.
  static std::shared_ptr<const PrinterFont> Make(const FontRequest& request);

  const FontProgram& Program() const { return *program_; }
  std::shared_ptr<const FontProgram> SharedProgram() const { return program_; }
  double EmHeight() const { return em_; }
  // Horizontal scale of the glyph shapes over their natural width. For a fixed pitch it is made exact
  // for the widths the PDF font states, so glyphs fall on their columns without correction.
  double ScaleX() const { return scaleX_; }
  std::int32_t DoubleStrikeOffset() const { return doubleStrikeOffset_; }
  std::int32_t Ascent() const { return ascent_; }
  std::int32_t LineHeight() const { return lineHeight_; }

  struct Character {
    std::uint32_t glyph = 0;
    std::int32_t advance = 0;  // whole dots
    bool blank = false;        // advances but leaves no ink
    char32_t unicode = 0;
    double width1000 = 0;  // FontProgram::Width1000 of the glyph
  };
  const Character& ForByte(std::uint8_t byte) const { return bytes_[byte]; }
  // Safe from several threads: the characters of a block are looked up once, on its first use.
  Character ForUnicode(char32_t c) const;

 private:
  // Code points below 0x2600 (every code page's letters, box drawing and blocks), in blocks of 256.
  static constexpr std::size_t kCachedBlocks = 0x26;
  using Block = std::array<Character, 256>;

  PrinterFont() = default;
  std::int32_t AdvanceOf(std::uint32_t glyph) const;
  Character LookUp(char32_t c) const;

  std::shared_ptr<const FontProgram> program_;
  bool fixedPitch_ = true;
  double em_ = 16;
  double width_ = 0;
  double scaleX_ = 1.0;
  std::int64_t unitScale_ = 0;  // font units to 16.16 dots, as FreeType scales them
  std::int32_t fixedAdvance_ = 0;
  std::int32_t doubleStrikeOffset_ = 0;
  std::int32_t ascent_ = 0;
  std::int32_t lineHeight_ = 0;
  std::array<Character, 256> bytes_{};
  mutable std::array<std::once_flag, kCachedBlocks> blockOnce_;
  mutable std::array<std::unique_ptr<const Block>, kCachedBlocks> blocks_;  // made under blockOnce_
  // blocks_ once made: read without the once flag, whose check is a library call per character.
  mutable std::array<std::atomic<const Block*>, kCachedBlocks> madeBlocks_{};
};

// The Unicode character for `byte` in character set `charSet`: 255 (OEM) is the DOS code page 437,
// every other set is read as Latin-1.
char32_t DecodeFontByte(std::uint8_t charSet, std::uint8_t byte);
// Characters that advance without ink.
bool IsBlank(char32_t c);

}  // namespace quillmark::pdf
