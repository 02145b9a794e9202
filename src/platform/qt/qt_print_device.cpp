#include "platform/qt/qt_print_device.h"

#include <QGlyphRun>
#include <QImage>
#include <QPagedPaintDevice>
#include <algorithm>
#include <cstdlib>

namespace quillmark {
namespace {

constexpr std::uint8_t kOemCharSet = 255;
constexpr std::uint8_t kFixedPitchModern = 0x31;

}  // namespace

QtPrintDevice::QtPrintDevice(DeviceGeometry geometry, std::unique_ptr<DocumentOutput> output,
                             std::shared_ptr<const QtFontTable> fonts)
    : geometry_(std::move(geometry)), output_(std::move(output)), fonts_(std::move(fonts)) {}

QtPrintDevice::~QtPrintDevice() {
  // A document left open is finished rather than lost.
  if (documentOpen_) EndDocument();
}

std::int32_t QtPrintDevice::PaperWidthDots() const {
  return geometry_.layout.fullRectPixels(geometry_.dotsPerInch).width();
}

std::int32_t QtPrintDevice::PaperHeightDots() const {
  return geometry_.layout.fullRectPixels(geometry_.dotsPerInch).height();
}

void QtPrintDevice::StartDocument(std::string_view title) {
  if (documentOpen_) return;
  documentOpen_ = true;
  delivered_ = false;
  pages_ = 0;
  pageOpen_ = false;
  const QString name = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  QPagedPaintDevice* target = output_->Begin(name, geometry_.layout, geometry_.dotsPerInch);
  // A document that cannot be started is still run through; it is reported as not delivered.
  painterOk_ = target != nullptr && painter_.begin(target);
  if (painterOk_) painter_.setRenderHint(QPainter::TextAntialiasing);
}

void QtPrintDevice::StartPage() {
  if (!documentOpen_ || pageOpen_) return;
  // The painter opens the first sheet by itself; every later page needs a new one.
  if (pages_ > 0 && painterOk_) {
    auto* target = static_cast<QPagedPaintDevice*>(painter_.device());
    if (!target->newPage()) painterOk_ = false;
  }
  ++pages_;
  pageOpen_ = true;
  inked_.clear();
}

void QtPrintDevice::EndPage() {
  if (!documentOpen_) return;
  Flush();
  pageOpen_ = false;
}

void QtPrintDevice::EndDocument() {
  if (!documentOpen_) return;
  Flush();
  pageOpen_ = false;
  bool complete = painterOk_;
  if (painter_.isActive()) complete = painter_.end() && complete;
  delivered_ = output_->Finish(complete);
  documentOpen_ = false;
  painterOk_ = false;
}

void QtPrintDevice::SetTextColor(std::uint32_t rgb) {
  // The colour is kept as red in the low byte, then green, then blue.
  const QColor color(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                     static_cast<int>((rgb >> 16) & 0xFF));
  if (color == textColor_) return;
  Flush();
  textColor_ = color;
}

void QtPrintDevice::SetTransparentBackground() { opaqueBackground_ = false; }

void QtPrintDevice::SelectFont(FontHandle font) {
  // A handle this device does not know leaves the current font selected.
  if (auto found = fonts_->Find(font)) font_ = std::move(found);
}

const QtPrinterFont* QtPrintDevice::CurrentFont() {
  if (font_) return font_.get();
  if (!defaultFont_) {
    FontRequest request;
    request.charSet = kOemCharSet;
    request.pitchAndFamily = kFixedPitchModern;
    request.weight = 400;
    defaultFont_ = QtPrinterFont::Make(request);
  }
  return defaultFont_.get();
}

void QtPrintDevice::MeasureText(std::string_view text, TextRect& rect) {
  const QtPrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  std::int32_t width = 0;
  for (const char c : text) width += font->Advance(static_cast<std::uint8_t>(c));
  rect.right = rect.left + width;
  rect.bottom = rect.top + font->LineHeight();
}

void QtPrintDevice::DrawText(std::string_view text, const TextRect& rect) {
  if (!Painting() || text.empty()) return;
  const QtPrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  const std::int32_t baseline = rect.top + font->Ascent();
  const bool sameRun = batch_.font.get() == font && batch_.baseline == baseline;
  if (!sameRun || opaqueBackground_) Flush();
  if (opaqueBackground_) {
    TextRect cell = rect;
    MeasureText(text, cell);
    painter_.fillRect(QRect(geometry_.offsetX + cell.left, geometry_.offsetY + cell.top,
                            cell.right - cell.left, cell.bottom - cell.top),
                      Qt::white);
  }
  if (batch_.glyphs.empty()) {
    batch_.font = font_ ? font_ : defaultFont_;
    batch_.baseline = baseline;
  }
  const double scale = font->ScaleX();
  std::int32_t x = rect.left;
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    // Report lines are padded with spaces; every glyph left out is PDF content not written and compressed.
    if (!font->Blank(byte)) {
      batch_.glyphs.push_back(font->Glyph(byte));
      batch_.positions.emplace_back(x / scale, 0.0);
    }
    x += font->Advance(byte);
  }
}

void QtPrintDevice::MeasureUnicodeText(std::u32string_view text, TextRect& rect) {
  const QtPrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  std::int32_t width = 0;
  std::uint32_t glyph = 0;
  std::int32_t advance = 0;
  for (const char32_t c : text) {
    font->UnicodeGlyph(c, glyph, advance);
    width += advance;
  }
  rect.right = rect.left + width;
  rect.bottom = rect.top + font->LineHeight();
}

void QtPrintDevice::DrawUnicodeText(std::u32string_view text, const TextRect& rect) {
  if (!Painting() || text.empty()) return;
  const QtPrinterFont* font = CurrentFont();
  if (font == nullptr) return;
  const std::int32_t baseline = rect.top + font->Ascent();
  const bool sameRun = batch_.font.get() == font && batch_.baseline == baseline;
  if (!sameRun || opaqueBackground_) Flush();
  if (opaqueBackground_) {
    TextRect cell = rect;
    MeasureUnicodeText(text, cell);
    painter_.fillRect(QRect(geometry_.offsetX + cell.left, geometry_.offsetY + cell.top,
                            cell.right - cell.left, cell.bottom - cell.top),
                      Qt::white);
  }
  if (batch_.glyphs.empty()) {
    batch_.font = font_ ? font_ : defaultFont_;
    batch_.baseline = baseline;
  }
  const double scale = font->ScaleX();
  std::int32_t x = rect.left;
  std::uint32_t glyph = 0;
  std::int32_t advance = 0;
  for (const char32_t c : text) {
    font->UnicodeGlyph(c, glyph, advance);
    if (c != U' ') {
      batch_.glyphs.push_back(glyph);
      batch_.positions.emplace_back(x / scale, 0.0);
    }
    x += advance;
  }
}

void QtPrintDevice::FillRectangle(const TextRect& rect) {
  if (!Painting() || rect.right <= rect.left || rect.bottom <= rect.top) return;
  // Ink on ink: the glyphs waiting to be painted may follow the rectangle, which saves breaking a run.
  if (opaqueBackground_) Flush();
  const QRect area(geometry_.offsetX + rect.left, geometry_.offsetY + rect.top, rect.right - rect.left,
                   rect.bottom - rect.top);
  painter_.fillRect(area, textColor_);
  NoteInk(area);
}

void QtPrintDevice::DrawBitImage(const BitImage& image, const TextRect& rect) {
  if (!Painting() || rect.right <= rect.left || rect.bottom <= rect.top || image.width <= 0 ||
      image.height <= 0) {
    return;
  }
  const auto rowBytes = static_cast<std::size_t>(image.BytesPerRow());
  if (image.bits.size() < rowBytes * static_cast<std::size_t>(image.height)) return;
  if (std::all_of(image.bits.begin(), image.bits.end(), [](std::uint8_t b) { return b == 0; })) return;
  Flush();
  const QRect area(geometry_.offsetX + rect.left, geometry_.offsetY + rect.top, rect.right - rect.left,
                   rect.bottom - rect.top);
  // The PDF engine keeps a 1-bit picture at its own resolution only as an opaque black-and-white image,
  // whose clear dots paint white. On blank paper in black that looks the same as a mask; over earlier
  // ink or in colour the picture goes as a colour image with a 1-bit mask, which costs more.
  const bool opaque = textColor_ == QColor(Qt::black) && !Inked(area);
  QImage picture(image.width, image.height, QImage::Format_Mono);
  for (int row = 0; row < image.height; ++row) {
    const std::uint8_t* from = image.bits.data() + static_cast<std::size_t>(row) * rowBytes;
    uchar* to = picture.scanLine(row);
    for (std::size_t i = 0; i < rowBytes; ++i) to[i] = static_cast<uchar>(opaque ? ~from[i] : from[i]);
  }
  if (opaque) {
    picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  } else {
    const QRgb ink = textColor_.rgb();
    picture.setColorTable({ink & 0x00FFFFFFu, ink | 0xFF000000u});
    painter_.setRenderHint(QPainter::LosslessImageRendering);
  }
  painter_.drawImage(QRectF(area), picture);
  NoteInk(area);
}

void QtPrintDevice::NoteInk(const QRect& area) {
  // Neighbours on one line grow one rectangle, so a page keeps about one per line.
  if (!inked_.empty() && inked_.back().adjusted(-1, 0, 1, 0).intersects(area) &&
      inked_.back().top() == area.top() && inked_.back().bottom() == area.bottom()) {
    inked_.back() |= area;
    return;
  }
  inked_.push_back(area);
}

bool QtPrintDevice::Inked(const QRect& area) const {
  return std::any_of(inked_.begin(), inked_.end(), [&](const QRect& r) { return r.intersects(area); });
}

void QtPrintDevice::Flush() {
  if (batch_.glyphs.empty()) return;
  if (Painting()) {
    QGlyphRun run;
    run.setRawFont(batch_.font->RawFont());
    run.setGlyphIndexes(QList<quint32>(batch_.glyphs.begin(), batch_.glyphs.end()));
    run.setPositions(QList<QPointF>(batch_.positions.begin(), batch_.positions.end()));
    // Glyph shapes are scaled across only; the positions were divided by the same scale.
    painter_.setTransform(
        QTransform(batch_.font->ScaleX(), 0, 0, 1, geometry_.offsetX, geometry_.offsetY + batch_.baseline));
    painter_.setPen(textColor_);
    painter_.drawGlyphRun(QPointF(0, 0), run);
    // A double strike is a second pass over the whole run, a little lower, as the paper moves a fraction
    // of a dot between a printer's two passes. As a whole second run, text extraction drops it as a copy.
    if (const std::int32_t strike = batch_.font->DoubleStrikeOffset(); strike != 0) {
      painter_.drawGlyphRun(QPointF(0, strike), run);
    }
    painter_.resetTransform();
    // Where the run has left ink: its character cells, a line height wider on both sides for wide glyphs,
    // and the double strike below them.
    const QtPrinterFont& font = *batch_.font;
    const double scale = font.ScaleX();
    const std::int32_t top = geometry_.offsetY + batch_.baseline - font.Ascent();
    NoteInk(QRect(
        QPoint(geometry_.offsetX + static_cast<int>(batch_.positions.front().x() * scale) - font.LineHeight(),
               top),
        QPoint(
            geometry_.offsetX + static_cast<int>(batch_.positions.back().x() * scale) + 2 * font.LineHeight(),
            top + font.LineHeight() + std::abs(font.DoubleStrikeOffset()))));
  }
  batch_.glyphs.clear();
  batch_.positions.clear();
  batch_.font.reset();
}

}  // namespace quillmark
