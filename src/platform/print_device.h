#pragma once
// The printing seam: a print system that opens printer devices by name and makes fonts, and the device of
// one open document. Everything here is called on the print worker's thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

struct JobSettings;

// A font handle made by PrintSystem::CreateFont; 0 stands for "no font".
using FontHandle = std::uintptr_t;

// A font request in the printer's terms. Height is negative: its absolute value is the em height in dots.
// Width is the average character width in dots (for a fixed pitch: the exact advance).
struct FontRequest {
  std::int32_t height = 0;
  std::int32_t width = 0;
  std::int32_t escapement = 0;
  std::int32_t orientation = 0;
  std::int32_t weight = 0;
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t strikeOut = 0;
  std::uint8_t charSet = 0;
  std::uint8_t outPrecision = 0;
  std::uint8_t clipPrecision = 0;
  std::uint8_t quality = 0;
  std::uint8_t pitchAndFamily = 0;  // 1 fixed / 2 variable pitch, with 0x30 for the modern family
  // Empty: the Basic emulation's faces (a monospaced face for fixed pitch, its proportional sibling for
  // variable pitch). Otherwise a typeface of the ESC/P 2 printer, "Roman" or "Sans Serif"; ChooseFontFace
  // (platform/font_faces.h) says which installed family stands for it.
  std::string faceName;

  bool operator==(const FontRequest&) const = default;
};

// A text rectangle in dots; (left, top) is the top-left corner of the first character cell.
struct TextRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool operator==(const TextRect&) const = default;
};

// A 1-bit picture at its own resolution. Rows run top to bottom, each (width + 7) / 8 bytes with the
// leftmost dot in the high bit of its first byte; a set bit is a dot of ink.
struct BitImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> bits;

  std::int32_t BytesPerRow() const { return (width + 7) / 8; }
  bool operator==(const BitImage&) const = default;
};

// One opened printer. Destroying it releases the device; a document still open is ended first.
// Text is passed as raw bytes in the character set of the selected font (255: the DOS code page).
// No call reports failure; Delivered() tells afterwards whether the document reached its destination.
class PrintDevice {
 public:
  virtual ~PrintDevice() = default;

  virtual std::int32_t DotsPerInchX() const = 0;
  virtual std::int32_t DotsPerInchY() const = 0;
  // Distance in dots from the paper's left and top edges to the printable area.
  virtual std::int32_t PhysicalOffsetX() const = 0;
  virtual std::int32_t PhysicalOffsetY() const = 0;
  // The whole sheet in dots (the printer's media); 0 where the device does not know it, and the job's
  // paper size stands for it.
  virtual std::int32_t PaperWidthDots() const { return 0; }
  virtual std::int32_t PaperHeightDots() const { return 0; }

  virtual void StartDocument(std::string_view title) = 0;
  virtual void StartPage() = 0;
  virtual void EndPage() = 0;
  // Gives the open page, and the pages started after it, a sheet of `widthDots` x `heightDots` (a page
  // turned to landscape, another paper size); 0 x 0 goes back to the printer's paper. Positions stay
  // counted from the sheet's top-left corner. A device that cannot change its sheet keeps it.
  virtual void SetPageSize(std::int32_t widthDots, std::int32_t heightDots) {
    static_cast<void>(widthDots);
    static_cast<void>(heightDots);
  }
  virtual void EndDocument() = 0;

  virtual void SetTextColor(std::uint32_t rgb) = 0;
  virtual void SetTransparentBackground() = 0;

  // Makes `font` (from the print system that opened this device) the font of all following text.
  virtual void SelectFont(FontHandle font) = 0;

  // Sets rect.right and rect.bottom so that the rectangle bounds `text` placed at (left, top); whole dots.
  virtual void MeasureText(std::string_view text, TextRect& rect) = 0;
  // Draws `text` as one line with the top of its cell at (rect.left, rect.top).
  virtual void DrawText(std::string_view text, const TextRect& rect) = 0;

  // The same two calls for Unicode text, for emulations that decode their own character tables. A
  // fixed-pitch font advances exactly its requested width per character; a character the face lacks
  // still advances and draws as the face's missing-glyph box.
  virtual void MeasureUnicodeText(std::u32string_view text, TextRect& rect) = 0;
  virtual void DrawUnicodeText(std::u32string_view text, const TextRect& rect) = 0;
  // Places `text` in `font` as DrawUnicodeText would, but without ink and leaving the selected font as
  // it is: characters the emulation draws as rules (box drawing) stay in a document's text layer, so that
  // text copied out of it keeps its frames. A device without a text layer ignores it.
  virtual void DrawHiddenText(std::u32string_view text, const TextRect& rect, FontHandle font) {
    static_cast<void>(text);
    static_cast<void>(rect);
    static_cast<void>(font);
  }

  // Fills [left, right) x [top, bottom) with the text colour: underlines, rules, block characters.
  // An empty or inverted rectangle draws nothing.
  virtual void FillRectangle(const TextRect& rect) = 0;

  // Draws `image` stretched over [left, right) x [top, bottom): its set dots in the text colour, its clear
  // dots leave the page as it is. An image without dots, or an empty rectangle, draws nothing.
  virtual void DrawBitImage(const BitImage& image, const TextRect& rect) = 0;

  // True once EndDocument has handed a complete document to the printer or written it to its file.
  virtual bool Delivered() const = 0;
  // When it was not delivered: the system's reason where the device knows it ("PDF: Permission denied"),
  // else empty.
  virtual std::string FailureReason() const { return {}; }

  // Drops the open document without delivering anything of it; Delivered() stays false.
  virtual void AbandonDocument() {}
};

class PrintSystem {
 public:
  virtual ~PrintSystem() = default;

  // Opens the printer named in settings.Printer for one document; nullptr when no such printer can be
  // opened (the "no device" state, in which the caller does nothing on a device).
  virtual std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) = 0;

  // Removes what a run that was killed left half-written for settings.Printer (partial output files),
  // never touching output that another running process is still writing. Main thread, at start-up.
  virtual void RemoveLeftovers(const JobSettings& settings) { static_cast<void>(settings); }

  // Whether settings.Printer names a printer that can be opened, asked once at start-up without printing:
  // a queue of that name exists, a PDF folder exists or could be made. True where the platform cannot tell.
  virtual bool PrinterExists(const JobSettings& settings) {
    static_cast<void>(settings);
    return true;
  }

  // Fonts live independently of devices: a font may be made while no device is open. Never returns 0
  // for a request that can be made; DeleteFont(0) does nothing.
  virtual FontHandle CreateFont(const FontRequest& request) = 0;
  virtual void DeleteFont(FontHandle font) = 0;
};

}  // namespace quillmark
