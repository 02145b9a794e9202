#pragma once
// A PrintDevice that paints with QPainter onto a paged document and hands the finished document to a
// DocumentOutput (a PDF file, a CUPS job). Glyphs of one line are collected and painted as one glyph run
// each, with every glyph at its own computed dot position, so a page looks exactly as if every character
// had been drawn on its own. One thread at a time (the print worker's).

#include <QColor>
#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/print_device.h"
#include "platform/qt/qt_font_table.h"

class QPagedPaintDevice;

namespace quillmark {

// Where a finished document goes. A device makes at most one document per Begin/Finish pair.
class DocumentOutput {
 public:
  virtual ~DocumentOutput() = default;
  // Opens a new document with the given page layout and resolution; nullptr when it cannot be written.
  virtual QPagedPaintDevice* Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) = 0;
  // Hands the document over after the painter has ended. `complete` is false when painting failed; the
  // output then discards what it has. True only when the whole document reached its destination.
  virtual bool Finish(bool complete) = 0;
};

// The fixed properties of one opened printer.
struct DeviceGeometry {
  std::int32_t dotsPerInch = 600;
  // Dots from the paper's left and top edges to the printable area.
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  QPageLayout layout;  // paper size; margins are not used, the painter covers the whole sheet
};

class QtPrintDevice final : public PrintDevice {
 public:
  QtPrintDevice(DeviceGeometry geometry, std::unique_ptr<DocumentOutput> output,
                std::shared_ptr<const QtFontTable> fonts);
  ~QtPrintDevice() override;
  QtPrintDevice(const QtPrintDevice&) = delete;
  QtPrintDevice& operator=(const QtPrintDevice&) = delete;

  std::int32_t DotsPerInchX() const override { return geometry_.dotsPerInch; }
  std::int32_t DotsPerInchY() const override { return geometry_.dotsPerInch; }
  std::int32_t PhysicalOffsetX() const override { return geometry_.offsetX; }
  std::int32_t PhysicalOffsetY() const override { return geometry_.offsetY; }
  std::int32_t PaperWidthDots() const override;
  std::int32_t PaperHeightDots() const override;

  void StartDocument(std::string_view title) override;
  void StartPage() override;
  void EndPage() override;
  void EndDocument() override;

  void SetTextColor(std::uint32_t rgb) override;
  void SetTransparentBackground() override;
  void SelectFont(FontHandle font) override;

  void MeasureText(std::string_view text, TextRect& rect) override;
  void DrawText(std::string_view text, const TextRect& rect) override;
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override;
  void DrawUnicodeText(std::u32string_view text, const TextRect& rect) override;
  void FillRectangle(const TextRect& rect) override;
  void DrawBitImage(const BitImage& image, const TextRect& rect) override;

  bool Delivered() const override { return delivered_; }

  // Pages begun in the current or last document.
  int PageCount() const { return pages_; }

 private:
  // The glyphs waiting to be painted: one font, one baseline, one colour.
  struct GlyphBatch {
    std::shared_ptr<const QtPrinterFont> font;
    std::int32_t baseline = 0;
    std::vector<std::uint32_t> glyphs;
    std::vector<QPointF> positions;  // in the font's scaled coordinates
  };

  const QtPrinterFont* CurrentFont();
  void Flush();
  // Remembers that `area` (device pixels) of the current page carries ink; Inked asks whether any of
  // `area` may.
  void NoteInk(const QRect& area);
  bool Inked(const QRect& area) const;
  bool Painting() const { return documentOpen_ && painterOk_; }

  DeviceGeometry geometry_;
  std::unique_ptr<DocumentOutput> output_;
  std::shared_ptr<const QtFontTable> fonts_;
  std::shared_ptr<const QtPrinterFont> font_;
  std::shared_ptr<const QtPrinterFont> defaultFont_;

  QPainter painter_;
  QColor textColor_ = Qt::black;
  bool opaqueBackground_ = true;
  bool documentOpen_ = false;
  bool painterOk_ = false;
  bool pageOpen_ = false;
  int pages_ = 0;
  bool delivered_ = false;
  GlyphBatch batch_;
  std::vector<QRect> inked_;  // the current page's inked areas, overlapping ones not merged
};

}  // namespace quillmark
