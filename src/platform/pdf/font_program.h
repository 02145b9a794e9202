#pragma once
// One installed font file as fontconfig finds it for a face: its glyphs, design metrics and a way to cut
// a subset of it for embedding. Loaded once per face and shared; immutable, so any thread may use it.

#include <hb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/font_faces.h"

namespace quillmark::pdf {

class FontProgram {
 public:
  // The shared program for `face`; nullptr when fontconfig finds no file that can be read.
  static std::shared_ptr<const FontProgram> ForFace(const FontFace& face);
  ~FontProgram();
  FontProgram(const FontProgram&) = delete;
  FontProgram& operator=(const FontProgram&) = delete;

  // Glyph for a character; 0 (the missing-glyph box) when the font has none.
  std::uint32_t Glyph(char32_t c) const;
  // Horizontal advance in font units.
  std::int32_t Advance(std::uint32_t glyph) const;
  // The advance in thousandths of an em as the PDF font states it; pages position glyphs by this value.
  double Width1000(std::uint32_t glyph) const;

  std::int32_t UnitsPerEm() const { return unitsPerEm_; }
  // Above and below the baseline, both positive, in font units.
  std::int32_t Ascender() const { return ascender_; }
  std::int32_t Descender() const { return descender_; }
  std::int32_t AverageWidth() const { return averageWidth_; }
  std::int32_t CapHeight() const { return capHeight_; }
  std::int32_t GlyphCount() const { return glyphCount_; }
  const std::string& PostScriptName() const { return postScriptName_; }
  bool FixedPitch() const { return fixedPitch_; }
  bool Italic() const { return italic_; }
  // Bounding box of all glyphs: xMin, yMin, xMax, yMax in font units.
  const std::int32_t* BoundingBox() const { return bbox_; }

  // A TrueType font holding `glyphs` at their own glyph numbers and no layout tables; empty on failure.
  std::string Subset(const std::vector<std::uint32_t>& glyphs) const;

 private:
  FontProgram() = default;
  static std::shared_ptr<const FontProgram> Load(const FontFace& face);

  hb_face_t* face_ = nullptr;
  hb_font_t* font_ = nullptr;
  std::int32_t unitsPerEm_ = 1000;
  std::int32_t ascender_ = 0;
  std::int32_t descender_ = 0;
  std::int32_t averageWidth_ = 0;
  std::int32_t capHeight_ = 0;
  std::int32_t glyphCount_ = 0;
  std::int32_t bbox_[4] = {0, 0, 0, 0};
  bool fixedPitch_ = false;
  bool italic_ = false;
  std::string postScriptName_;
};

}  // namespace quillmark::pdf
