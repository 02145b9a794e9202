#pragma once
// One PDF document written page by page: each page's content goes out as soon as the page is done, so
// memory does not grow with the page count. Fonts are written at the end, each face as one subset of the
// glyphs the pages used, with a ToUnicode map so that copying and searching give the printed characters.
// Images are written once per distinct picture.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/pdf/background_deflater.h"
#include "platform/pdf/font_program.h"
#include "platform/pdf/pdf_object_writer.h"
#include "platform/print_device.h"

namespace quillmark::pdf {

class DocumentWriter {
 public:
  DocumentWriter(ByteSink& sink, std::string_view title);

  // The number of `program` in this document (resource /F<number>); the first use adds it.
  std::uint32_t Font(const std::shared_ptr<const FontProgram>& program);
  // Records that a page shows `glyph` of font `font` for character `unicode`. Called for every glyph
  // drawn, hence inline.
  void UseGlyph(std::uint32_t font, std::uint32_t glyph, char32_t unicode) {
    auto& map = fonts_[font - 1].unicode;
    // One glyph may stand for several characters; the first one seen is what a reader gets back.
    if (glyph < map.size() && map[glyph] == kUnusedGlyph) map[glyph] = Readable(unicode);
  }
  // The object of `image` as an image mask (resource /I<number>); the same bits give the same object.
  std::uint32_t Image(const BitImage& image);

  // Writes one page of `width` x `height` points with the given content and the fonts and images it uses.
  // Its content is compressed while the next page is made and written before anything else is.
  void AddPage(double width, double height, std::string_view content, const std::vector<std::uint32_t>& fonts,
               const std::vector<std::uint32_t>& images);

  // Writes the fonts, page tree, catalog and cross references. False when anything failed to be written.
  bool Finish();

  std::size_t Pages() const { return pages_.size(); }

 private:
  static constexpr char32_t kUnusedGlyph = 0xFFFFFFFF;
  // What is no character at all reads back as the replacement character.
  static char32_t Readable(char32_t c) { return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c; }

  struct DocumentFont {
    std::shared_ptr<const FontProgram> program;
    std::uint32_t id = 0;
    std::vector<char32_t> unicode;  // by glyph; kUnusedGlyph where the glyph is not shown
  };
  struct ImageKey {
    std::int32_t width, height;
    std::uint64_t hash1, hash2;
    bool operator==(const ImageKey&) const = default;
  };
  struct ImageKeyHash {
    std::size_t operator()(const ImageKey& key) const { return key.hash1 ^ (key.hash2 >> 1); }
  };

  // A page whose content is being compressed; its objects are numbered, not yet written.
  struct PendingPage {
    std::uint32_t contentId = 0;
    std::uint32_t pageId = 0;
    double width = 0, height = 0;
    std::vector<std::uint32_t> fonts, images;
  };

  void WriteFont(DocumentFont& font, std::uint32_t number);
  void WritePendingPage();

  ObjectWriter objects_;
  std::uint32_t pagesId_ = 0;
  std::uint32_t infoId_ = 0;
  std::vector<std::uint32_t> pages_;
  std::vector<DocumentFont> fonts_;
  std::unordered_map<ImageKey, std::uint32_t, ImageKeyHash> images_;
  std::string scratch_;
  bool failed_ = false;
  PendingPage pending_;  // contentId 0: none
  BackgroundDeflater deflater_;
};

}  // namespace quillmark::pdf
