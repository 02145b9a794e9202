#include "platform/pdf/document_writer.h"

#include <algorithm>
#include <cmath>

#include "platform/pdf/pdf_syntax.h"

namespace quillmark::pdf {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// A title as PDF text: plain when ASCII, otherwise UTF-16 with its byte-order mark.
std::string TextString(std::string_view utf8) {
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(utf8);
  }
  std::string out = "\xFE\xFF";
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    i += static_cast<std::size_t>(length);
    if (c > 0xFFFF) {
      c -= 0x10000;
      const char32_t high = 0xD800 + (c >> 10), low = 0xDC00 + (c & 0x3FF);
      out += {static_cast<char>(high >> 8), static_cast<char>(high & 0xFF), static_cast<char>(low >> 8),
              static_cast<char>(low & 0xFF)};
    } else {
      out += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
  }
  return out;
}

void AppendHex16(std::string& out, std::uint32_t value) {
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0x0F];
}

void AppendUtf16Hex(std::string& out, char32_t c) {
  if (c > 0xFFFF) {
    c -= 0x10000;
    AppendHex16(out, 0xD800 + (c >> 10));
    AppendHex16(out, 0xDC00 + (c & 0x3FF));
  } else {
    AppendHex16(out, c);
  }
}

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

}  // namespace

DocumentWriter::DocumentWriter(ByteSink& sink, std::string_view title) : objects_(sink) {
  pagesId_ = objects_.Reserve();
  infoId_ = objects_.Reserve();
  scratch_ = "<</Title";
  AppendLiteralString(scratch_, TextString(title));
  scratch_ += "/Creator(Quillmark 1.0)/Producer(Quillmark 1.0)>>";
  objects_.WriteObject(infoId_, scratch_);
}

std::uint32_t DocumentWriter::Font(const std::shared_ptr<const FontProgram>& program) {
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    if (fonts_[i].program == program) return static_cast<std::uint32_t>(i + 1);
  }
  DocumentFont font;
  font.program = program;
  font.id = objects_.Reserve();
  font.unicode.assign(static_cast<std::size_t>(program->GlyphCount()), kUnusedGlyph);
  fonts_.push_back(std::move(font));
  return static_cast<std::uint32_t>(fonts_.size());
}

std::uint32_t DocumentWriter::Image(const BitImage& image) {
  const auto bytes = static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height);
  // Two independent 64-bit hashes: equal keys with different bits are out of practical reach, and the
  // bits of earlier pages need not be kept.
  std::uint64_t h1 = 0xCBF29CE484222325ull, h2 = 0x9E3779B97F4A7C15ull;
  for (std::size_t i = 0; i < bytes; ++i) {
    h1 = (h1 ^ image.bits[i]) * 0x100000001B3ull;
    h2 = Mix(h2 + image.bits[i] + i);
  }
  const ImageKey key{image.width, image.height, h1, h2};
  if (const auto found = images_.find(key); found != images_.end()) return found->second;
  // The page before goes out first, so the file's objects keep the order in which they were made.
  WritePendingPage();
  const std::uint32_t id = objects_.Reserve();
  scratch_ = "/Type/XObject/Subtype/Image/Width ";
  AppendInteger(scratch_, image.width);
  scratch_ += "/Height ";
  AppendInteger(scratch_, image.height);
  // A set bit is ink; an image mask paints where its samples are 0 unless decoded the other way round.
  scratch_ += "/ImageMask true/BitsPerComponent 1/Decode[1 0]";
  objects_.WriteStream(id, scratch_,
                       std::string_view(reinterpret_cast<const char*>(image.bits.data()), bytes));
  images_.emplace(key, id);
  return id;
}

void DocumentWriter::AddPage(double width, double height, std::string_view content,
                             const std::vector<std::uint32_t>& fonts,
                             const std::vector<std::uint32_t>& images) {
  WritePendingPage();
  pending_.contentId = objects_.Reserve();
  pending_.pageId = objects_.Reserve();
  pending_.width = width;
  pending_.height = height;
  pending_.fonts = fonts;
  pending_.images = images;
  deflater_.Start(std::string(content));
  pages_.push_back(pending_.pageId);
}

void DocumentWriter::WritePendingPage() {
  if (pending_.contentId == 0) return;
  objects_.WriteDeflatedStream(pending_.contentId, "", deflater_.Take());
  scratch_ = "<</Type/Page/Parent ";
  AppendInteger(scratch_, pagesId_);
  scratch_ += " 0 R/MediaBox[0 0 ";
  AppendNumber(scratch_, pending_.width);
  scratch_ += ' ';
  AppendNumber(scratch_, pending_.height);
  scratch_ += "]/Contents ";
  AppendInteger(scratch_, pending_.contentId);
  scratch_ += " 0 R/Resources<<";
  if (!pending_.fonts.empty()) {
    scratch_ += "/Font<<";
    for (const std::uint32_t font : pending_.fonts) {
      scratch_ += "/F";
      AppendInteger(scratch_, font);
      scratch_ += ' ';
      AppendInteger(scratch_, fonts_[font - 1].id);
      scratch_ += " 0 R";
    }
    scratch_ += ">>";
  }
  if (!pending_.images.empty()) {
    scratch_ += "/XObject<<";
    for (const std::uint32_t image : pending_.images) {
      scratch_ += "/I";
      AppendInteger(scratch_, image);
      scratch_ += ' ';
      AppendInteger(scratch_, image);
      scratch_ += " 0 R";
    }
    scratch_ += ">>";
  }
  scratch_ += ">>>>";
  objects_.WriteObject(pending_.pageId, scratch_);
  pending_.contentId = 0;
}

void DocumentWriter::WriteFont(DocumentFont& font, std::uint32_t number) {
  const FontProgram& program = *font.program;
  std::vector<std::uint32_t> glyphs;
  for (std::uint32_t glyph = 0; glyph < font.unicode.size(); ++glyph) {
    if (font.unicode[glyph] != kUnusedGlyph) glyphs.push_back(glyph);
  }
  // The subset tag: six capitals that differ between subsets of one face in one document.
  std::uint64_t tagHash = Mix(number * 0x9E3779B97F4A7C15ull + glyphs.size());
  for (const std::uint32_t glyph : glyphs) tagHash = Mix(tagHash + glyph);
  std::string baseName;
  for (int i = 0; i < 6; ++i, tagHash /= 26) baseName += static_cast<char>('A' + tagHash % 26);
  baseName += '+';
  baseName += program.PostScriptName();
  std::string name;
  AppendName(name, baseName);

  const std::uint32_t descendant = objects_.Reserve();
  const std::uint32_t descriptor = objects_.Reserve();
  const std::uint32_t fontFile = objects_.Reserve();
  const std::uint32_t toUnicode = objects_.Reserve();

  scratch_ = "<</Type/Font/Subtype/Type0/BaseFont" + name + "/Encoding/Identity-H/DescendantFonts[";
  AppendInteger(scratch_, descendant);
  scratch_ += " 0 R]/ToUnicode ";
  AppendInteger(scratch_, toUnicode);
  scratch_ += " 0 R>>";
  objects_.WriteObject(font.id, scratch_);

  // Widths: the first glyph's as the default, runs of consecutive glyphs for the others.
  const double defaultWidth = glyphs.empty() ? 0 : program.Width1000(glyphs.front());
  scratch_ = "<</Type/Font/Subtype/CIDFontType2/BaseFont" + name +
             "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor ";
  AppendInteger(scratch_, descriptor);
  scratch_ += " 0 R/CIDToGIDMap/Identity/DW ";
  AppendNumber(scratch_, defaultWidth);
  scratch_ += "/W[";
  std::uint32_t next = 0;
  bool open = false;
  for (const std::uint32_t glyph : glyphs) {
    const double width = program.Width1000(glyph);
    if (width == defaultWidth) continue;
    if (!open || glyph != next) {
      if (open) scratch_ += ']';
      AppendInteger(scratch_, glyph);
      scratch_ += '[';
      open = true;
    } else {
      scratch_ += ' ';
    }
    AppendNumber(scratch_, width);
    next = glyph + 1;
  }
  if (open) scratch_ += ']';
  scratch_ += "]>>";
  objects_.WriteObject(descendant, scratch_);

  const double unit = 1000.0 / program.UnitsPerEm();
  const std::int32_t* box = program.BoundingBox();
  scratch_ = "<</Type/FontDescriptor/FontName" + name + "/Flags ";
  AppendInteger(scratch_, 4 | (program.FixedPitch() ? 1 : 0) | (program.Italic() ? 64 : 0));
  scratch_ += "/FontBBox[";
  for (int i = 0; i < 4; ++i) {
    if (i > 0) scratch_ += ' ';
    AppendNumber(scratch_, box[i] * unit, 0);
  }
  scratch_ += "]/ItalicAngle 0/Ascent ";
  AppendNumber(scratch_, program.Ascender() * unit);
  scratch_ += "/Descent ";
  AppendNumber(scratch_, -program.Descender() * unit);
  scratch_ += "/CapHeight ";
  AppendNumber(scratch_, program.CapHeight() * unit);
  scratch_ += "/StemV 80/FontFile2 ";
  AppendInteger(scratch_, fontFile);
  scratch_ += " 0 R>>";
  objects_.WriteObject(descriptor, scratch_);

  const std::string subset = program.Subset(glyphs);
  if (subset.empty()) {
    objects_.WriteStream(fontFile, "", "");  // keeps the file whole; the document still counts as failed
    objects_.WriteObject(toUnicode, "null");
    failed_ = true;
    return;
  }
  scratch_ = "/Length1 ";
  AppendInteger(scratch_, static_cast<std::int64_t>(subset.size()));
  objects_.WriteStream(fontFile, scratch_, subset);

  std::string cmap =
      "/CIDInit/ProcSet findresource begin 12 dict begin begincmap/CIDSystemInfo<</Registry(Adobe)"
      "/Ordering(UCS)/Supplement 0>>def/CMapName/Adobe-Identity-UCS def/CMapType 2 def\n"
      "1 begincodespacerange <0000><FFFF> endcodespacerange\n";
  for (std::size_t at = 0; at < glyphs.size(); at += 100) {
    const std::size_t count = std::min<std::size_t>(100, glyphs.size() - at);
    AppendInteger(cmap, static_cast<std::int64_t>(count));
    cmap += " beginbfchar\n";
    for (std::size_t i = at; i < at + count; ++i) {
      cmap += '<';
      AppendHex16(cmap, glyphs[i]);
      cmap += "><";
      AppendUtf16Hex(cmap, font.unicode[glyphs[i]]);
      cmap += ">\n";
    }
    cmap += "endbfchar\n";
  }
  cmap += "endcmap CMapName currentdict/CMap defineresource pop end end\n";
  objects_.WriteStream(toUnicode, "", cmap);
}

bool DocumentWriter::Finish() {
  WritePendingPage();
  for (std::size_t i = 0; i < fonts_.size(); ++i) WriteFont(fonts_[i], static_cast<std::uint32_t>(i + 1));
  scratch_ = "<</Type/Pages/Count ";
  AppendInteger(scratch_, static_cast<std::int64_t>(pages_.size()));
  scratch_ += "/Kids[";
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (i > 0) scratch_ += ' ';
    AppendInteger(scratch_, pages_[i]);
    scratch_ += " 0 R";
  }
  scratch_ += "]>>";
  objects_.WriteObject(pagesId_, scratch_);
  const std::uint32_t catalog = objects_.Reserve();
  scratch_ = "<</Type/Catalog/Pages ";
  AppendInteger(scratch_, pagesId_);
  scratch_ += " 0 R>>";
  objects_.WriteObject(catalog, scratch_);
  return objects_.Finish(catalog, infoId_) && !failed_;
}

}  // namespace quillmark::pdf
