#pragma once
// A PrintDevice that writes a PDF of its own: text as glyphs of embedded subset fonts, each at its exact
// dot position, filled rectangles and 1-bit image masks. Each finished page is written at once. The
// finished document goes to a DocumentOutput (a PDF file, a CUPS job). One thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/pdf/document_writer.h"
#include "platform/pdf/font_table.h"
#include "platform/pdf/pdf_file_output.h"
#include "platform/print_device.h"

namespace quillmark::pdf {

// The fixed properties of one opened printer.
struct DeviceGeometry {
  std::int32_t dotsPerInch = 600;
  // Dots from the paper's left and top edges to the printable area.
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  // The paper in points; A4 unless set.
  double width = 595;
  double height = 842;
};

// Paper of `width` x `height` millimetres in whole points; A4 when either is not a usable length.
void SetPaperMillimetres(DeviceGeometry& geometry, double width, double height);

class PdfPrintDevice final : public PrintDevice {
 public:
  PdfPrintDevice(DeviceGeometry geometry, std::unique_ptr<DocumentOutput> output,
                 std::shared_ptr<const FontTable> fonts);
  ~PdfPrintDevice() override;
  PdfPrintDevice(const PdfPrintDevice&) = delete;
  PdfPrintDevice& operator=(const PdfPrintDevice&) = delete;

  std::int32_t DotsPerInchX() const override { return geometry_.dotsPerInch; }
  std::int32_t DotsPerInchY() const override { return geometry_.dotsPerInch; }
  std::int32_t PhysicalOffsetX() const override { return geometry_.offsetX; }
  std::int32_t PhysicalOffsetY() const override { return geometry_.offsetY; }
  std::int32_t PaperWidthDots() const override { return paperWidthDots_; }
  std::int32_t PaperHeightDots() const override { return paperHeightDots_; }

  void StartDocument(std::string_view title) override;
  void StartPage() override;
  void EndPage() override;
  void SetPageSize(std::int32_t widthDots, std::int32_t heightDots) override;
  void EndDocument() override;

  void SetTextColor(std::uint32_t rgb) override;
  void SetTransparentBackground() override;
  void SelectFont(FontHandle font) override;

  void MeasureText(std::string_view text, TextRect& rect) override;
  void DrawText(std::string_view text, const TextRect& rect) override;
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override;
  void DrawUnicodeText(std::u32string_view text, const TextRect& rect) override;
  // Invisible text (render mode 3) in the same batches and order as the visible text around it.
  void DrawHiddenText(std::u32string_view text, const TextRect& rect, FontHandle font) override;
  void FillRectangle(const TextRect& rect) override;
  void DrawBitImage(const BitImage& image, const TextRect& rect) override;

  bool Delivered() const override { return delivered_; }
  std::string FailureReason() const override { return output_->FailureReason(); }
  void AbandonDocument() override;

 private:
  // Glyphs waiting to be written: one font, one baseline, one colour.
  struct PlacedGlyph {
    std::uint16_t glyph = 0;    // written as two bytes
    bool hidden = false;        // text without ink (render mode 3)
    std::int32_t position = 0;  // dots from the printable area's left edge
    double width = 0;           // FontProgram::Width1000
  };
  struct GlyphBatch {
    std::shared_ptr<const PrinterFont> font;
    std::uint32_t number = 0;  // the font's number in the document
    std::int32_t baseline = 0;
    bool hidden = false;  // of the first glyph; a batch mixes inked and hidden glyphs only without a double strike
    std::vector<PlacedGlyph> glyphs;
  };

  const PrinterFont* CurrentFont();
  std::string PageMatrix() const;
  template <typename Text, typename Lookup>
  void Draw(const Text& text, const TextRect& rect, Lookup lookup, bool hidden = false);
  void FillWith(const TextRect& rect, std::uint32_t color);
  void Flush();
  void EndText();
  void UseColor(std::uint32_t color);
  bool Writing() const { return document_ != nullptr && pageOpen_; }

  DeviceGeometry geometry_;
  // The sheet in dots, asked for every piece of text drawn; SetPageSize changes it.
  std::int32_t paperWidthDots_ = 0;
  std::int32_t paperHeightDots_ = 0;
  // The sheet of the open page in points: the paper unless SetPageSize turned or changed it.
  double pageWidth_ = 0;
  double pageHeight_ = 0;
  std::unique_ptr<DocumentOutput> output_;
  std::shared_ptr<const FontTable> fonts_;
  std::shared_ptr<const PrinterFont> font_;
  FontHandle fontHandle_ = 0;  // the handle font_ was selected by
  std::shared_ptr<const PrinterFont> defaultFont_;
  std::unique_ptr<DocumentWriter> document_;

  bool documentOpen_ = false;
  bool pageOpen_ = false;
  bool delivered_ = false;
  bool opaqueBackground_ = true;
  std::uint32_t textColor_ = 0;  // red in the low byte, then green, then blue

  // The page being written and the state its content has reached.
  std::string content_;
  std::string run_;          // the text-showing array of the run being written
  std::vector<char> codes_;  // the glyph codes of one string of that array
  double scaleOfText_ = 0;   // the horizontal scale last written, and as written
  std::string scaleText_;
  std::vector<std::uint32_t> pageFonts_;
  std::vector<std::uint32_t> pageImages_;
  bool inText_ = false;
  std::uint32_t contentColor_ = 0;
  std::uint32_t contentFont_ = 0;
  double contentSize_ = 0;
  bool contentHidden_ = false;  // text render mode 3 in force
  // Where the last run of the text object left the pen, in dots, on its baseline at its horizontal scale.
  struct Pen {
    bool valid = false;
    std::int32_t baseline = 0;
    double scale = 0;
    double x = 0;
  };
  Pen pen_;
  GlyphBatch batch_;
};

}  // namespace quillmark::pdf
