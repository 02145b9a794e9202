#include "platform/pdf/font_program.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb-subset.h>

#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace quillmark::pdf {
namespace {

std::int32_t BigEndian16(hb_blob_t* table, unsigned offset) {
  unsigned size = 0;
  const char* data = hb_blob_get_data(table, &size);
  if (data == nullptr || size < offset + 2) return 0;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(
      (static_cast<unsigned char>(data[offset]) << 8) | static_cast<unsigned char>(data[offset + 1])));
}

std::int32_t TableValue(hb_face_t* face, hb_tag_t tag, unsigned offset) {
  hb_blob_t* table = hb_face_reference_table(face, tag);
  const std::int32_t value = BigEndian16(table, offset);
  hb_blob_destroy(table);
  return value;
}

// The file and face index fontconfig picks for a family and style, as any desktop program would.
bool FindFontFile(const FontFace& face, std::string& file, int& index) {
  static std::once_flag once;
  static FcConfig* config = nullptr;
  std::call_once(once, [] { config = FcInitLoadConfigAndFonts(); });
  if (config == nullptr) return false;
  const std::string family(face.family);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, face.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, face.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) file = reinterpret_cast<const char*>(path);
  index = 0;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternDestroy(match);
  return found;
}

}  // namespace

std::shared_ptr<const FontProgram> FontProgram::ForFace(const FontFace& face) {
  static std::mutex mutex;
  static std::map<std::tuple<std::string, bool, bool>, std::shared_ptr<const FontProgram>> loaded;
  std::lock_guard lock(mutex);
  auto& program = loaded[{std::string(face.family), face.bold, face.italic}];
  if (!program) program = Load(face);
  return program;
}

std::shared_ptr<const FontProgram> FontProgram::Load(const FontFace& face) {
  std::string file;
  int index = 0;
  if (!FindFontFile(face, file, index)) return nullptr;
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(file.c_str());
  if (blob == nullptr) return nullptr;
  std::shared_ptr<FontProgram> program(new FontProgram);
  program->face_ = hb_face_create(blob, static_cast<unsigned>(index));
  hb_blob_destroy(blob);
  hb_face_make_immutable(program->face_);
  program->glyphCount_ = static_cast<std::int32_t>(hb_face_get_glyph_count(program->face_));
  if (program->glyphCount_ == 0) return nullptr;
  program->font_ = hb_font_create(program->face_);
  hb_font_make_immutable(program->font_);
  program->unitsPerEm_ = static_cast<std::int32_t>(hb_face_get_upem(program->face_));

  hb_position_t value = 0;
  // Typographic metrics where the font asks for them, otherwise the horizontal header's.
  if (hb_ot_metrics_get_position(program->font_, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value)) {
    program->ascender_ = value;
  }
  if (hb_ot_metrics_get_position(program->font_, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &value)) {
    program->descender_ = -value;
  }
  program->capHeight_ = hb_ot_metrics_get_position(program->font_, HB_OT_METRICS_TAG_CAP_HEIGHT, &value)
                            ? value
                            : program->ascender_;
  program->averageWidth_ = TableValue(program->face_, HB_TAG('O', 'S', '/', '2'), 2);
  for (unsigned i = 0; i < 4; ++i) {
    program->bbox_[i] = TableValue(program->face_, HB_TAG('h', 'e', 'a', 'd'), 36 + 2 * i);
  }
  program->fixedPitch_ = TableValue(program->face_, HB_TAG('p', 'o', 's', 't'), 14) != 0;
  program->italic_ = TableValue(program->face_, HB_TAG('p', 'o', 's', 't'), 4) != 0;

  char name[128];
  unsigned size = sizeof name;
  hb_ot_name_get_utf8(program->face_, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &size, name);
  program->postScriptName_.assign(name, size);
  if (program->postScriptName_.empty()) program->postScriptName_ = "Font";
  return program;
}

FontProgram::~FontProgram() {
  hb_font_destroy(font_);
  hb_face_destroy(face_);
}

std::uint32_t FontProgram::Glyph(char32_t c) const {
  hb_codepoint_t glyph = 0;
  return hb_font_get_nominal_glyph(font_, c, &glyph) ? glyph : 0;
}

std::int32_t FontProgram::Advance(std::uint32_t glyph) const {
  return hb_font_get_glyph_h_advance(font_, glyph);
}

double FontProgram::Width1000(std::uint32_t glyph) const {
  // Whole numbers: poppler reads a fractional default width as missing.
  return std::round(Advance(glyph) * 1000.0 / unitsPerEm_);
}

std::string FontProgram::Subset(const std::vector<std::uint32_t>& glyphs) const {
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  if (input == nullptr) return {};
  hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
  for (const std::uint32_t glyph : glyphs) hb_set_add(glyphSet, glyph);
  // Glyph numbers stay as they are, so the page content can name them before the subset exists. The
  // pages are drawn unhinted, and layout tables are of no use in a PDF.
  hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
  hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (const hb_tag_t tag :
       {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
        HB_TAG('k', 'e', 'r', 'n'), HB_TAG('n', 'a', 'm', 'e'), HB_TAG('M', 'A', 'T', 'H')}) {
    hb_set_add(drop, tag);
  }
  hb_face_t* subset = hb_subset_or_fail(face_, input);
  hb_subset_input_destroy(input);
  if (subset == nullptr) return {};
  hb_blob_t* blob = hb_face_reference_blob(subset);
  unsigned size = 0;
  const char* data = hb_blob_get_data(blob, &size);
  std::string bytes(data != nullptr ? data : "", data != nullptr ? size : 0);
  hb_blob_destroy(blob);
  hb_face_destroy(subset);
  return bytes;
}

}  // namespace quillmark::pdf
