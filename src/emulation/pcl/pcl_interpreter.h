#pragma once
// The HP LaserJet printer (PCL 5e): reads a take and prints its pages on an open document. It keeps its own
// page state in PCL units (1/7200 inch) and draws in the device's dots; each page is held until it is
// ejected, then printed once per copy. Print worker thread only.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulation/dot_math.h"
#include "emulation/pcl/pcl_page.h"
#include "emulation/pcl/pcl_parser.h"
#include "emulation/pcl/pcl_soft_fonts.h"
#include "emulation/pcl/pcl_state.h"
#include "platform/print_device.h"

namespace quillmark {

// Where the printer prints: the open device (nullptr: pages are counted, nothing is drawn), its dots and
// the distance from the sheet's corner to its printable area, its sheet in dots (0: not known), the paper
// size in its tray and the symbol set it starts with.
struct PclTarget {
  PrintDevice* device = nullptr;
  std::int32_t dpiX = 300;
  std::int32_t dpiY = 300;
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  std::int32_t paperWidth = 0;
  std::int32_t paperHeight = 0;
  std::int32_t pageSize = 2;
  std::int32_t symbolSet = 341;  // PC-8
};

// Dots of a length in 1/7200 inch at `dpi`:
// units * dpi / 7200 to the nearest dot, a half to the even one, in exact integer arithmetic: half dots
// are common (a first line at 187.5 dots) and must not round by floating-point noise.
inline std::int32_t PclDots(std::int64_t units, std::int32_t dpi) {
  const std::int64_t numerator = units * dpi;
  std::int64_t quotient = numerator / kPclUnitsPerInch;
  std::int64_t remainder = numerator % kPclUnitsPerInch;
  if (remainder < 0) {
    remainder += kPclUnitsPerInch;
    --quotient;
  }
  if (2 * remainder > kPclUnitsPerInch || (2 * remainder == kPclUnitsPerInch && (quotient & 1) != 0))
    ++quotient;
  return SaturateToInt32(quotient);
}

class PclInterpreter final : private PclCommandSink {
 public:
  // The device's first page has been started by the caller; it is used for the first PCL page.
  PclInterpreter(const PclTarget& target, PrintSystem& printers);
  ~PclInterpreter();
  PclInterpreter(const PclInterpreter&) = delete;
  PclInterpreter& operator=(const PclInterpreter&) = delete;

  // Prints the take `data`; `passed` hears every megabyte or so how far the reading got.
  void Run(const std::uint8_t* data, std::int32_t length, std::function<void(std::int32_t)> passed = {});
  // Prints the page still open, if anything is on it. The device's last page stays open.
  void Finish();

  const PclState& State() const { return state_; }
  // Sheets started on the device, copies included.
  std::int32_t Sheets() const { return sheets_; }
  bool SkippedHpgl2() const { return skippedHpgl2_; }
  bool DroppedMarks() const { return droppedMarks_; }
  // Copies left out because the take asked for too many sheets.
  bool DroppedCopies() const { return droppedCopies_; }
  // Macro bytes or macros left out because the take's macros outgrew their room.
  bool DroppedMacros() const { return droppedMacros_; }
  // The lowest dot row marked on the last sheet, and the top of its lowest text line.
  std::int32_t LastSheetLowest() const { return lastLowest_; }
  std::int32_t LastSheetTextTop() const { return lastTextTop_; }
  // Device dots of a position of the logical page.
  std::int32_t DotX(std::int64_t x) const {
    return PclDots(state_.logicalLeft + state_.leftRegistration + x, target_.dpiX) - target_.offsetX;
  }
  std::int32_t DotY(std::int64_t y) const {
    return PclDots(state_.topRegistration + y, target_.dpiY) - target_.offsetY;
  }

  // For the command handlers (pcl_commands.cpp).
  void Reset();
  void SetPageSize(std::int32_t code);
  void SetOrientation(std::int32_t orientation);
  void SetTopMargin(std::int64_t lines);
  void SetTextLength(std::int64_t lines);
  void SetLeftMargin(std::int64_t x);
  void SetRightMargin(std::int64_t x);
  void ClearHorizontalMargins();
  void SetVmi(std::int64_t vmi);
  void SetHmi(std::int64_t hmi);
  void MoveTo(std::int64_t x, std::int64_t y);
  void CarriageReturn();
  void LineFeed();
  void FormFeed();
  void HalfLineFeed();
  void PushPop(std::int32_t operation);
  // A font setting changed; `active` when it concerns the font in use (which then sets the HMI).
  void FontChanged(bool active = true);
  void PrintTransparent(const std::uint8_t* data, std::int32_t length);
  void Rectangle(std::int32_t fill);
  void StartRaster(std::int32_t mode);
  void RasterRow(const std::uint8_t* data, std::int32_t length);
  void RasterOffset(std::int32_t rows);
  void EndRaster();
  void MacroControl(std::int32_t operation);
  void EnterHpgl2();
  void EjectPage(bool always);
  bool InMacro() const { return macroDepth_ > 0; }
  bool PageMarked() const { return pageMarked_ || !page_.Empty(); }
  PclState& MutableState() { return state_; }
  PclSoftFonts& SoftFonts() { return softFonts_; }
  std::int64_t PclUnit() const { return kPclUnitsPerInch / state_.unitsPerInch; }
  std::int64_t FirstLine() const { return state_.topMargin + state_.vmi * 3 / 4; }

 private:
  struct CachedFont {
    FontRequest request;
    FontHandle handle = 0;
  };
  struct MacroRun;

  void Command(const PclCommand& command) override;
  void Interpret(const std::uint8_t* data, std::int32_t length);
  std::int32_t SkipPjl(const std::uint8_t* data, std::int32_t length, std::int32_t position) const;
  std::int32_t SkipHpgl2(const std::uint8_t* data, std::int32_t length, std::int32_t position);
  void ControlCode(std::uint8_t byte);
  void PrintByte(std::uint8_t byte);  // pcl_text.cpp, with the font and underline helpers
  // Prints the plain characters at the start of `data` without PrintByte's checks; returns how many.
  std::int32_t PrintPlainText(const std::uint8_t* data, std::int32_t length);
  const PclFont& CurrentFont() { return fontValid_ ? font_ : ChooseFont(); }
  const PclFont& ChooseFont();
  FontHandle HandleFor(const FontRequest& request);
  std::int32_t DeviceAdvance(FontHandle font, char32_t character);
  void Underline(std::int64_t left, std::int64_t right);
  void FlushUnderline();
  // Cuts `rect` (dots) to the sheet's printable area; false when nothing of it is left.
  bool ClipToPrintable(TextRect& rect) const {
    // Asked for every character: the area is worked out again only when the sheet changes.
    if (printableSheet_.first != state_.physicalWidth || printableSheet_.second != state_.physicalLength) {
      FindPrintable();
    }
    rect.left = std::max(rect.left, printable_.left);
    rect.right = std::min(rect.right, printable_.right);
    rect.top = std::max(rect.top, printable_.top);
    rect.bottom = std::min(rect.bottom, printable_.bottom);
    return rect.left < rect.right && rect.top < rect.bottom;
  }
  void FindPrintable() const;
  // The same for `image` stretched over `rect`: it keeps the whole pixels inside.
  bool ClipImageToPrintable(BitImage& image, TextRect& rect) const;
  void ApplyPageGeometry();
  void DefaultMargins();
  void PrintSheet();
  // The sheet the page needs in device dots: 0 x 0 for the paper as it lies in the tray.
  std::pair<std::int32_t, std::int32_t> Sheet() const;
  void RunMacro(std::int32_t id, bool call);

  PclTarget target_;
  PrintSystem& printers_;
  PclState state_;
  PclSoftFonts softFonts_;
  PclPage page_;
  std::vector<CachedFont> fonts_;
  PclFont font_;
  mutable std::pair<std::int64_t, std::int64_t> printableSheet_{-1, -1};  // the sheet printable_ is for
  mutable TextRect printable_;
  bool fontValid_ = false;
  FontHandle fontHandle_ = 0;
  std::int32_t fontEm_ = 0;
  std::int32_t fontAscent_ = 0;
  std::int32_t fontAdvance_ = 0;  // device dots per character of a fixed-pitch face

  // An underline not yet drawn: one line, one stretch.
  bool underlineOpen_ = false;
  std::int64_t underlineY_ = 0;
  std::int64_t underlineLeft_ = 0;
  std::int64_t underlineRight_ = 0;

  std::vector<TextRect> blocks_;  // the rectangles of one line or block character

  // Raster rows of the picture being received, at the raster resolution.
  BitImage raster_;

  std::map<std::int32_t, std::string> macros_;
  std::size_t macroBytes_ = 0;
  bool defining_ = false;
  std::string definition_;
  std::int32_t macroDepth_ = 0;
  std::int32_t overlayMacro_ = -1;
  bool inOverlay_ = false;

  bool hpgl2_ = false;  // inside HP-GL/2 until ESC % # A
  bool skippedHpgl2_ = false;
  bool droppedMarks_ = false;
  bool droppedCopies_ = false;
  bool droppedMacros_ = false;
  const std::uint8_t* take_ = nullptr;  // the take's bytes; a macro's are read by Interpret as well
  std::function<void(std::int32_t)> passed_;
  std::int32_t nextPassed_ = 0;
  std::int32_t copySheets_ = 0;  // sheets printed as extra copies
  bool pageMarked_ = false;
  std::int32_t sheets_ = 0;
  std::pair<std::int32_t, std::int32_t> sheet_{0, 0};  // the sheet the device was last given
  std::int32_t lastLowest_ = 0;
  std::int32_t lastTextTop_ = 0;
};

}  // namespace quillmark
