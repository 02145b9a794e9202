#include "platform/pdf/printer_font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "emulation/code_page_437.h"
#include "platform/font_faces.h"

namespace quillmark::pdf {
namespace {

constexpr std::uint8_t kOemCharSet = 255;
constexpr std::uint8_t kVariablePitch = 2;
// Em height for a request of height 0, which leaves the size to the platform.
constexpr double kDefaultEmHeight = 16.0;

// Metrics in 1/64 dot, rounded to the nearest, as the font engine keeps them.
double Round64(double dots) { return std::round(dots * 64.0) / 64.0; }

}  // namespace

char32_t DecodeFontByte(std::uint8_t charSet, std::uint8_t byte) {
  return charSet == kOemCharSet ? Cp437ToUnicode(byte) : static_cast<char32_t>(byte);
}

bool IsBlank(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::shared_ptr<const PrinterFont> PrinterFont::Make(const FontRequest& request) {
  std::shared_ptr<PrinterFont> font(new PrinterFont);
  font->program_ = FontProgram::ForFace(ChooseFontFace(request));
  if (!font->program_) return nullptr;
  const FontProgram& program = *font->program_;
  const double unitsPerEm = program.UnitsPerEm();
  font->fixedPitch_ = (request.pitchAndFamily & 0x03) != kVariablePitch;
  // Weights between regular and bold print as a double strike: the faces have no medium weight.
  const bool doubleStrike = request.weight < 600 && request.weight >= 450;

  // A negative height is the em height; a positive one is the whole cell, ascent plus descent.
  double em = kDefaultEmHeight;
  if (request.height < 0) {
    em = -static_cast<double>(request.height);
  } else if (request.height > 0) {
    const double unitCell = (Round64(program.Ascender() * 100.0 / unitsPerEm) +
                             Round64(program.Descender() * 100.0 / unitsPerEm)) /
                            100.0;
    em = unitCell > 0 ? request.height / unitCell : kDefaultEmHeight;
  }
  font->em_ = em;
  font->unitScale_ = std::llround(em * 64.0 * 65536.0 / unitsPerEm);

  const double digitAdvance = font->AdvanceOf(program.Glyph(U'0')) / 65536.0;
  font->width_ = std::abs(static_cast<double>(request.width));
  double reference = font->fixedPitch_ ? digitAdvance : Round64(program.AverageWidth() * em / unitsPerEm);
  if (reference <= 0) reference = em / 2;
  font->scaleX_ = font->width_ > 0 ? font->width_ / reference : 1.0;
  font->fixedAdvance_ =
      static_cast<std::int32_t>(std::lround(font->width_ > 0 ? font->width_ : digitAdvance));

  for (int byte = 0; byte < 256; ++byte) {
    font->bytes_[static_cast<std::size_t>(byte)] =
        font->LookUp(DecodeFontByte(request.charSet, static_cast<std::uint8_t>(byte)));
  }
  if (font->fixedPitch_ && font->width_ > 0) {
    const double natural = program.Width1000(program.Glyph(U'0')) * em / 1000.0;
    if (natural > 0) font->scaleX_ = font->width_ / natural;
  }
  const double ascent = Round64(program.Ascender() * em / unitsPerEm);
  font->ascent_ = static_cast<std::int32_t>(std::lround(ascent));
  font->lineHeight_ =
      font->ascent_ + static_cast<std::int32_t>(std::lround(Round64(program.Descender() * em / unitsPerEm)));
  if (doubleStrike) {
    font->doubleStrikeOffset_ = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(em / 42)));
  }
  return font;
}

// The natural advance in 1/65536 dot, truncated to 1/64 dot like the font engine's unhinted advances.
std::int32_t PrinterFont::AdvanceOf(std::uint32_t glyph) const {
  const std::int64_t linear = (static_cast<std::int64_t>(program_->Advance(glyph)) * unitScale_ + 32) / 64;
  return static_cast<std::int32_t>((linear >> 10) << 10);
}

PrinterFont::Character PrinterFont::ForUnicode(char32_t c) const {
  // Asking the face for every character of a long job costs more than all the rest of its printing.
  const std::size_t block = c >> 8;
  if (block >= kCachedBlocks) return LookUp(c);
  if (const Block* made = madeBlocks_[block].load(std::memory_order_acquire)) return (*made)[c & 0xFF];
  std::call_once(blockOnce_[block], [&] {
    auto characters = std::make_unique<Block>();
    for (std::size_t i = 0; i < characters->size(); ++i) {
      (*characters)[i] = LookUp(static_cast<char32_t>((block << 8) | i));
    }
    blocks_[block] = std::move(characters);
    madeBlocks_[block].store(blocks_[block].get(), std::memory_order_release);
  });
  return (*blocks_[block])[c & 0xFF];
}

PrinterFont::Character PrinterFont::LookUp(char32_t c) const {
  Character character;
  character.unicode = c;
  character.glyph = program_->Glyph(c);
  character.blank = IsBlank(c);
  character.width1000 = program_->Width1000(character.glyph);
  // A fixed pitch advances every character by the same whole number of dots, so columns stay aligned.
  character.advance =
      fixedPitch_ ? fixedAdvance_
                  : static_cast<std::int32_t>(std::lround(AdvanceOf(character.glyph) / 65536.0 * scaleX_));
  return character;
}

}  // namespace quillmark::pdf
