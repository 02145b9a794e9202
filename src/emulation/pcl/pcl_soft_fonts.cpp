#include "emulation/pcl/pcl_soft_fonts.h"

#include <algorithm>

namespace quillmark {
namespace {

std::int32_t Word(const std::uint8_t* data, std::int32_t at) { return data[at] * 256 + data[at + 1]; }
std::int32_t SignedWord(const std::uint8_t* data, std::int32_t at) {
  const std::int32_t word = Word(data, at);
  return word >= 32768 ? word - 65536 : word;
}

constexpr std::int32_t kHeaderLength = 64;
constexpr std::int32_t kCharacterHeader = 16;
constexpr std::int32_t kLargestBitmap = 16384;  // dots a side; more than any LaserJet bitmap font

// Uncompressed rows, or class 2: per row a repeat count, then alternating white and black run lengths.
void Unpack(PclSoftGlyph& glyph, std::int32_t kind, const std::uint8_t* data, std::int32_t length) {
  if (kind == 1) {
    const std::size_t take = std::min(glyph.expected - glyph.bits.size(), static_cast<std::size_t>(length));
    glyph.bits.insert(glyph.bits.end(), data, data + take);
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>((glyph.width + 7) / 8);
  std::vector<std::uint8_t> row(rowBytes);
  std::int32_t at = 0;
  while (at < length && glyph.bits.size() < glyph.expected) {
    const std::int32_t repeat = data[at++];
    std::fill(row.begin(), row.end(), 0);
    std::int32_t x = 0;
    bool black = false;
    while (x < glyph.width && at < length) {
      const std::int32_t run = data[at++];
      for (std::int32_t i = 0; black && i < run && x + i < glyph.width; ++i) {
        row[static_cast<std::size_t>((x + i) / 8)] |= static_cast<std::uint8_t>(0x80 >> ((x + i) % 8));
      }
      x += run;
      black = !black;
    }
    for (std::int32_t copy = 0; copy <= repeat && glyph.bits.size() < glyph.expected; ++copy) {
      glyph.bits.insert(glyph.bits.end(), row.begin(), row.end());
    }
  }
}

}  // namespace

void PclSoftFonts::DefineFont(const std::uint8_t* data, std::int32_t length) {
  last_ = nullptr;
  if (length < kHeaderLength) return;
  const std::int32_t format = data[2];
  if (format != 0 && format != 20) return;  // scalable and other formats are read and dropped
  if (fonts_.size() >= kMaxFonts && fonts_.find(fontId_) == fonts_.end()) return;
  Control(2);
  PclSoftFont& font = fonts_[fontId_];
  // Format 20 names its resolution after the 64 bytes of format 0; only the LaserJet's two are taken.
  const std::int32_t resolution =
      format == 20 && length >= kHeaderLength + 2 ? Word(data, kHeaderLength) : 300;
  font.dotsPerInch = resolution == 600 ? 600 : 300;
  const double quarters = 4.0 * font.dotsPerInch;
  font.proportional = data[13] == 1;
  const std::int32_t pitch = Word(data, 16);  // quarter dots per character
  font.pitch = pitch > 0 ? quarters / pitch : 10;
  font.height = Word(data, 18) * 72.0 / quarters;  // quarter dots to points
  font.symbolSet = Word(data, 14);
  font.style = data[4] * 256 + data[23];
  font.weight = static_cast<std::int8_t>(data[24]);
  font.typeface = data[26] * 256 + data[25];
}

void PclSoftFonts::DefineCharacter(const std::uint8_t* data, std::int32_t length) {
  if (length < 2 || data[0] != 4) return;
  if (data[1] != 0) {
    // A continuation adds bitmap bytes to the character before.
    if (last_ != nullptr && bytes_ + static_cast<std::size_t>(length) <= kMaxBytes) {
      const std::size_t before = last_->bits.size();
      Unpack(*last_, 1, data + 2, length - 2);
      bytes_ += last_->bits.size() - before;
    }
    return;
  }
  last_ = nullptr;
  const auto font = fonts_.find(fontId_);
  if (font == fonts_.end() || length < kCharacterHeader || code_ < 0 || code_ > 255) return;
  const std::int32_t kind = data[3];
  if (kind != 1 && kind != 2) return;
  auto glyph = std::make_unique<PclSoftGlyph>();
  glyph->left = SignedWord(data, 6);
  glyph->top = SignedWord(data, 8);
  glyph->width = Word(data, 10);
  glyph->height = Word(data, 12);
  glyph->deltaX = SignedWord(data, 14);
  if (glyph->width > kLargestBitmap || glyph->height > kLargestBitmap) return;
  glyph->expected =
      static_cast<std::size_t>((glyph->width + 7) / 8) * static_cast<std::size_t>(glyph->height);
  if (bytes_ + glyph->expected > kMaxBytes) return;
  glyph->bits.reserve(std::min<std::size_t>(glyph->expected, static_cast<std::size_t>(length) * 64));
  Unpack(*glyph, kind, data + kCharacterHeader, length - kCharacterHeader);
  auto& slot = font->second.glyphs[static_cast<std::size_t>(code_)];
  if (slot) bytes_ -= slot->bits.size();
  bytes_ += glyph->bits.size();
  slot = std::move(glyph);
  last_ = slot.get();
}

void PclSoftFonts::Control(std::int32_t operation) {
  last_ = nullptr;
  const auto release = [&](const PclSoftFont& font) {
    for (const auto& glyph : font.glyphs) {
      if (glyph) bytes_ -= glyph->bits.size();
    }
  };
  if (operation == 0 || operation == 1) {
    for (const auto& [id, font] : fonts_) release(font);
    fonts_.clear();
  } else if (operation == 2) {
    const auto font = fonts_.find(fontId_);
    if (font == fonts_.end()) return;
    release(font->second);
    fonts_.erase(font);
  } else if (operation == 3) {
    const auto font = fonts_.find(fontId_);
    if (font == fonts_.end() || code_ < 0 || code_ > 255) return;
    auto& glyph = font->second.glyphs[static_cast<std::size_t>(code_)];
    if (glyph) bytes_ -= glyph->bits.size();
    glyph.reset();
  }
}

const PclSoftFont* PclSoftFonts::Find(std::int32_t id) const {
  const auto font = fonts_.find(id);
  return font == fonts_.end() ? nullptr : &font->second;
}

}  // namespace quillmark
