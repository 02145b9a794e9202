#include "platform/pdf/pdf_print_device.h"

#include <algorithm>
#include <cmath>

#include "emulation/dot_math.h"
#include "platform/pdf/pdf_syntax.h"

namespace quillmark::pdf {
namespace {

constexpr std::uint8_t kOemCharSet = 255;
constexpr std::uint8_t kFixedPitchModern = 0x31;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// PDF pages cannot be larger than 200 inches a side.
constexpr double kLargestPaperMillimetres = 5080.0;
// Glyphs written as one run at most; bounds the memory a single endless line takes.
constexpr std::size_t kMaxBatchGlyphs = 4096;

// Positions add up the way the core's do: saturating, never overflowing.
std::int32_t Add(std::int32_t a, std::int32_t b) { return SaturateToInt32(std::int64_t{a} + b); }
std::int32_t Span(std::int32_t from, std::int32_t to) { return SaturateToInt32(std::int64_t{to} - from); }

constexpr auto kByUnicode = [](const PrinterFont& font, char32_t c) { return font.ForUnicode(c); };

bool UsablePaperLength(double millimetres) {
  return std::isfinite(millimetres) && millimetres > 0 && millimetres <= kLargestPaperMillimetres;
}

bool HasInk(const BitImage& image) {
  const auto bytesPerRow = static_cast<std::size_t>(image.BytesPerRow());
  // Bits past the right edge are padding.
  const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - image.width % 8) % 8));
  for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); ++row) {
    const std::uint8_t* bits = image.bits.data() + row * bytesPerRow;
    for (std::size_t i = 0; i + 1 < bytesPerRow; ++i) {
      if (bits[i] != 0) return true;
    }
    if ((bits[bytesPerRow - 1] & lastMask) != 0) return true;
  }
  return false;
}

}  // namespace

void SetPaperMillimetres(DeviceGeometry& geometry, double width, double height) {
  const bool usable = UsablePaperLength(width) && UsablePaperLength(height);
  geometry.width = usable ? std::round(width * 72.0 / 25.4) : 595;
  geometry.height = usable ? std::round(height * 72.0 / 25.4) : 842;
}

PdfPrintDevice::PdfPrintDevice(DeviceGeometry geometry, std::unique_ptr<DocumentOutput> output,
                               std::shared_ptr<const FontTable> fonts)
    : geometry_(geometry),
      paperWidthDots_(static_cast<std::int32_t>(std::lround(geometry.width / 72 * geometry.dotsPerInch))),
      paperHeightDots_(static_cast<std::int32_t>(std::lround(geometry.height / 72 * geometry.dotsPerInch))),
      pageWidth_(geometry.width),
      pageHeight_(geometry.height),
      output_(std::move(output)),
      fonts_(std::move(fonts)) {}

PdfPrintDevice::~PdfPrintDevice() {
  // A document left open is finished rather than lost.
  if (documentOpen_) EndDocument();
}

void PdfPrintDevice::StartDocument(std::string_view title) {
  if (documentOpen_) return;
  documentOpen_ = true;
  delivered_ = false;
  pageOpen_ = false;
  // A document that cannot be started is still run through; it is reported as not delivered.
  if (ByteSink* sink = output_->Begin(title)) document_ = std::make_unique<DocumentWriter>(*sink, title);
}

void PdfPrintDevice::StartPage() {
  if (!documentOpen_ || pageOpen_) return;
  pageOpen_ = true;
  content_.clear();
  pageFonts_.clear();
  pageImages_.clear();
  inText_ = false;
  contentColor_ = 0;
  contentFont_ = 0;
  contentSize_ = 0;
  contentHidden_ = false;
  pen_.valid = false;
  content_ = PageMatrix();
}

// Dots from the sheet's top-left corner, as the printer counts them.
std::string PdfPrintDevice::PageMatrix() const {
  std::string matrix;
  AppendNumber(matrix, 72.0 / geometry_.dotsPerInch, 6);
  matrix += " 0 0 ";
  AppendNumber(matrix, -72.0 / geometry_.dotsPerInch, 6);
  matrix += " 0 ";
  AppendNumber(matrix, pageHeight_);
  matrix += " cm\n";
  return matrix;
}

void PdfPrintDevice::SetPageSize(std::int32_t widthDots, std::int32_t heightDots) {
  const double width = widthDots * 72.0 / geometry_.dotsPerInch;
  const double height = heightDots * 72.0 / geometry_.dotsPerInch;
  // 0 x 0, or a sheet no PDF page can be, is the printer's paper.
  constexpr double kLargestPoints = kLargestPaperMillimetres * 72 / 25.4;
  const bool usable = width >= 1 && height >= 1 && width <= kLargestPoints && height <= kLargestPoints;
  const std::string before = PageMatrix();
  pageWidth_ = usable ? width : geometry_.width;
  pageHeight_ = usable ? height : geometry_.height;
  paperWidthDots_ = static_cast<std::int32_t>(std::lround(pageWidth_ / 72 * geometry_.dotsPerInch));
  paperHeightDots_ = static_cast<std::int32_t>(std::lround(pageHeight_ / 72 * geometry_.dotsPerInch));
  // The open page's marks are in dots from its top: only its matrix follows the new height.
  if (pageOpen_ && content_.starts_with(before)) content_.replace(0, before.size(), PageMatrix());
}

void PdfPrintDevice::EndPage() {
  if (!pageOpen_) return;
  Flush();
  EndText();
  if (document_) document_->AddPage(pageWidth_, pageHeight_, content_, pageFonts_, pageImages_);
  pageOpen_ = false;
  content_.clear();
  content_.shrink_to_fit();
}

void PdfPrintDevice::EndDocument() {
  if (!documentOpen_) return;
  // A document has at least one page, if only an empty one.
  if (document_ && !pageOpen_ && document_->Pages() == 0) StartPage();
  EndPage();
  const bool complete = document_ && document_->Finish();
  document_.reset();
  delivered_ = output_->Finish(complete);
  documentOpen_ = false;
}

void PdfPrintDevice::AbandonDocument() {
  if (!documentOpen_) return;
  batch_ = GlyphBatch{};
  pageOpen_ = false;
  content_.clear();
  content_.shrink_to_fit();
  document_.reset();
  output_->Finish(false);
  delivered_ = false;
  documentOpen_ = false;
}

void PdfPrintDevice::SetTextColor(std::uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (rgb == textColor_) return;
  Flush();
  textColor_ = rgb;
}

void PdfPrintDevice::SetTransparentBackground() { opaqueBackground_ = false; }

void PdfPrintDevice::SelectFont(FontHandle font) {
  // A handle this device does not know leaves the current font selected.
  if (font == fontHandle_ && font_) return;
  if (auto found = fonts_->Find(font)) {
    font_ = std::move(found);
    fontHandle_ = font;
  }
}

const PrinterFont* PdfPrintDevice::CurrentFont() {
  if (font_) return font_.get();
  if (!defaultFont_) {
    FontRequest request;
    request.charSet = kOemCharSet;
    request.pitchAndFamily = kFixedPitchModern;
    request.weight = 400;
    defaultFont_ = PrinterFont::Make(request);
  }
  return defaultFont_.get();
}

void PdfPrintDevice::MeasureText(std::string_view text, TextRect& rect) {
  const PrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  std::int64_t width = 0;
  for (const char c : text) width += font->ForByte(static_cast<std::uint8_t>(c)).advance;
  rect.right = SaturateToInt32(rect.left + width);
  rect.bottom = Add(rect.top, font->LineHeight());
}

void PdfPrintDevice::MeasureUnicodeText(std::u32string_view text, TextRect& rect) {
  const PrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  std::int64_t width = 0;
  for (const char32_t c : text) width += font->ForUnicode(c).advance;
  rect.right = SaturateToInt32(rect.left + width);
  rect.bottom = Add(rect.top, font->LineHeight());
}

void PdfPrintDevice::DrawText(std::string_view text, const TextRect& rect) {
  Draw(text, rect,
       [](const PrinterFont& font, char c) { return font.ForByte(static_cast<std::uint8_t>(c)); });
}

void PdfPrintDevice::DrawUnicodeText(std::u32string_view text, const TextRect& rect) {
  Draw(text, rect, kByUnicode);
}

void PdfPrintDevice::DrawHiddenText(std::u32string_view text, const TextRect& rect, FontHandle font) {
  // Box characters are mostly in the font of the text around them: then nothing is swapped.
  if (font == fontHandle_ && font_) {
    Draw(text, rect, kByUnicode, true);
    return;
  }
  std::shared_ptr<const PrinterFont> selected = font_;
  const FontHandle selectedHandle = fontHandle_;
  SelectFont(font);
  Draw(text, rect, kByUnicode, true);
  font_ = std::move(selected);
  fontHandle_ = selectedHandle;
}

template <typename Text, typename Lookup>
void PdfPrintDevice::Draw(const Text& text, const TextRect& rect, Lookup lookup, bool hidden) {
  if (!Writing() || text.empty()) return;
  const PrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  // A cell that starts an ascent or more beyond the sheet's right or bottom edge has no ink on the sheet.
  // Keeping it would let a take of endless lines, which run off the paper, grow its page without bound.
  if (Add(rect.top, -font->Ascent()) >= PaperHeightDots() ||
      Add(rect.left, -font->Ascent()) >= PaperWidthDots()) {
    return;
  }
  const std::int32_t baseline = Add(rect.top, font->Ascent());
  // Hidden glyphs join the inked ones' batch, so that a framed line stays one batch; with a double
  // strike they could not, as its second pass repeats the batch.
  const bool sameRun = batch_.font.get() == font && batch_.baseline == baseline &&
                       (batch_.hidden == hidden || font->DoubleStrikeOffset() == 0);
  if (!sameRun || opaqueBackground_) Flush();
  std::int32_t x = rect.left;
  if (opaqueBackground_ && !hidden) {
    std::int64_t width = 0;
    for (const auto c : text) width += lookup(*font, c).advance;
    FillWith({rect.left, rect.top, SaturateToInt32(rect.left + width), Add(rect.top, font->LineHeight())},
             kWhite);
  }
  for (const auto c : text) {
    const PrinterFont::Character character = lookup(*font, c);
    // Report lines are padded with spaces; every glyph left out is content not written and compressed.
    if (!character.blank) {
      // A line without end must not grow the batch without end.
      if (batch_.glyphs.size() >= kMaxBatchGlyphs) Flush();
      if (batch_.glyphs.empty()) {
        batch_.font = font_ ? font_ : defaultFont_;
        batch_.baseline = baseline;
        batch_.hidden = hidden;
        batch_.number = document_->Font(font->SharedProgram());
      }
      batch_.glyphs.push_back({static_cast<std::uint16_t>(character.glyph), hidden, x, character.width1000});
      document_->UseGlyph(batch_.number, character.glyph, character.unicode);
    }
    x = Add(x, character.advance);
  }
}

void PdfPrintDevice::Flush() {
  if (batch_.glyphs.empty()) return;
  const PrinterFont& font = *batch_.font;
  UseColor(textColor_);
  if (!inText_) content_ += "BT\n";
  inText_ = true;
  const double em = font.EmHeight();
  if (batch_.number != contentFont_ || em != contentSize_) {
    content_ += "/F";
    AppendInteger(content_, batch_.number);
    content_ += ' ';
    AppendNumber(content_, em);
    content_ += " Tf\n";
    contentFont_ = batch_.number;
    contentSize_ = em;
    if (std::ranges::find(pageFonts_, batch_.number) == pageFonts_.end()) pageFonts_.push_back(batch_.number);
  }
  if (batch_.hidden != contentHidden_) {
    content_ += batch_.hidden ? "3 Tr\n" : "0 Tr\n";
    contentHidden_ = batch_.hidden;
  }
  const double scale = font.ScaleX();
  // A double strike is a second pass over the whole run, a little lower, as the paper moves a fraction
  // of a dot between a printer's two passes. As a whole second run, text extraction drops it as a copy.
  const std::int32_t strike = batch_.hidden ? 0 : font.DoubleStrikeOffset();
  const double origin = batch_.glyphs.front().position;
  // A run on the line where the last one ended goes on from there, without a new text matrix: a framed
  // table's line alternates between text and its invisible frame characters.
  const bool goesOn = pen_.valid && pen_.baseline == batch_.baseline && pen_.scale == scale && strike == 0;
  // The glyphs as one array of strings, with a correction wherever a glyph is not where the widths of
  // the glyphs before it put the pen (gaps left by spaces, whole-dot advances of proportional text).
  run_.assign("[");
  codes_.clear();
  double pen = 0;  // in text space
  if (goesOn) {
    const double from = (pen_.x - origin) / scale;
    const double correction = std::round(from * 1000.0 / em * 100.0) / 100.0;
    if (correction != 0) AppendNumber(run_, correction, 2);
    pen = from - correction * em / 1000.0;
  }
  for (std::size_t i = 0; i < batch_.glyphs.size(); ++i) {
    const PlacedGlyph& placed = batch_.glyphs[i];
    const double target = (placed.position - origin) / scale;
    const double off = (pen - target) * 1000.0 / em;
    // Corrections are written in hundredths of a thousandth of an em; a smaller one is no correction.
    const double correction = std::abs(off) < 0.005 ? 0.0 : std::round(off * 100.0) / 100.0;
    if (i > 0 && placed.hidden != batch_.glyphs[i - 1].hidden) {
      // The render mode changes between two arrays; the pen goes on.
      AppendLiteralString(run_, std::string_view(codes_.data(), codes_.size()));
      run_ += placed.hidden ? "]TJ\n3 Tr\n[" : "]TJ\n0 Tr\n[";
      if (correction != 0) AppendNumber(run_, correction, 2);
      codes_.clear();
      pen -= correction * em / 1000.0;
    } else if (correction != 0 && i > 0) {
      AppendLiteralString(run_, std::string_view(codes_.data(), codes_.size()));
      AppendNumber(run_, correction, 2);
      codes_.clear();
      pen -= correction * em / 1000.0;
    }
    codes_.push_back(static_cast<char>(placed.glyph >> 8));
    codes_.push_back(static_cast<char>(placed.glyph & 0xFF));
    pen += placed.width * em / 1000.0;
  }
  AppendLiteralString(run_, std::string_view(codes_.data(), codes_.size()));
  run_ += "]TJ\n";
  contentHidden_ = batch_.glyphs.back().hidden;
  pen_ = Pen{strike == 0, batch_.baseline, scale, origin + pen * scale};
  if (goesOn) {
    content_ += run_;
    batch_.glyphs.clear();
    batch_.font.reset();
    return;
  }
  if (scale != scaleOfText_ || scaleText_.empty()) {
    scaleText_.clear();
    AppendNumber(scaleText_, scale, 6);
    scaleText_ += " 0 0 -1 ";
    scaleOfText_ = scale;
  }
  for (const std::int32_t pass : {0, strike}) {
    content_ += scaleText_;
    AppendInteger(content_, Add(geometry_.offsetX, batch_.glyphs.front().position));
    content_ += ' ';
    AppendInteger(content_, Add(Add(geometry_.offsetY, batch_.baseline), pass));
    content_ += " Tm";
    content_ += run_;
    if (strike == 0) break;
  }
  batch_.glyphs.clear();
  batch_.font.reset();
}

void PdfPrintDevice::EndText() {
  if (inText_) content_ += "ET\n";
  inText_ = false;
  pen_.valid = false;
}

void PdfPrintDevice::UseColor(std::uint32_t color) {
  if (color == contentColor_) return;
  for (int shift = 0; shift < 24; shift += 8) {
    AppendNumber(content_, ((color >> shift) & 0xFF) / 255.0);
    content_ += ' ';
  }
  content_ += "rg\n";
  contentColor_ = color;
}

void PdfPrintDevice::FillWith(const TextRect& rect, std::uint32_t color) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  Flush();
  EndText();
  UseColor(color);
  AppendInteger(content_, Add(geometry_.offsetX, rect.left));
  content_ += ' ';
  AppendInteger(content_, Add(geometry_.offsetY, rect.top));
  content_ += ' ';
  AppendInteger(content_, Span(rect.left, rect.right));
  content_ += ' ';
  AppendInteger(content_, Span(rect.top, rect.bottom));
  content_ += " re f\n";
}

void PdfPrintDevice::FillRectangle(const TextRect& rect) {
  if (Writing()) FillWith(rect, textColor_);
}

void PdfPrintDevice::DrawBitImage(const BitImage& image, const TextRect& rect) {
  if (!Writing() || rect.right <= rect.left || rect.bottom <= rect.top || image.width <= 0 ||
      image.height <= 0) {
    return;
  }
  const auto needed = static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height);
  if (image.bits.size() < needed || !HasInk(image)) return;
  Flush();
  EndText();
  UseColor(textColor_);
  const std::uint32_t id = document_->Image(image);
  if (std::ranges::find(pageImages_, id) == pageImages_.end()) pageImages_.push_back(id);
  content_ += "q ";
  AppendInteger(content_, Span(rect.left, rect.right));
  content_ += " 0 0 ";
  AppendInteger(content_, Span(rect.bottom, rect.top));
  content_ += ' ';
  AppendInteger(content_, Add(geometry_.offsetX, rect.left));
  content_ += ' ';
  AppendInteger(content_, Add(geometry_.offsetY, rect.bottom));
  content_ += " cm/I";
  AppendInteger(content_, id);
  content_ += " Do Q\n";
}

}  // namespace quillmark::pdf
