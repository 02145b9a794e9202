#include "emulation/pcl/pcl_interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "emulation/dot_math.h"
#include "emulation/pcl/pcl_commands.h"
#include "emulation/pcl/pcl_page_sizes.h"
#include "emulation/pcl/pcl_symbol_sets.h"

namespace quillmark {
namespace {

constexpr std::uint8_t kEscape = 27;
constexpr std::size_t kMaxCursorStack = 20;
constexpr std::int32_t kMaxDotsPerInch = 9600;
constexpr std::int64_t kHalfInch = kPclUnitsPerInch / 2;
constexpr std::int64_t kTabColumns = 8;
constexpr std::int32_t kMaxCopySheets = 10000;
// The LaserJet prints nothing within a sixth of an inch of the sheet's edges.
constexpr std::int64_t kUnprintable = 50 * kPclUnitsPerDot300;

bool StartsWith(const std::uint8_t* data, std::int32_t length, std::int32_t position, const char* text) {
  const auto size = static_cast<std::int32_t>(std::strlen(text));
  return length - position >= size && std::memcmp(data + position, text, static_cast<std::size_t>(size)) == 0;
}

}  // namespace

PclInterpreter::PclInterpreter(const PclTarget& target, PrintSystem& printers)
    : target_(target), printers_(printers) {
  // A device with a resolution no printer has gets nothing drawn; positions then stay far in range.
  if (target_.dpiX <= 0 || target_.dpiX > kMaxDotsPerInch || target_.dpiY <= 0 ||
      target_.dpiY > kMaxDotsPerInch) {
    target_.device = nullptr;
    target_.dpiX = target_.dpiY = 300;
  }
  target_.offsetX = std::clamp(target_.offsetX, 0, 100 * target_.dpiX);
  target_.offsetY = std::clamp(target_.offsetY, 0, 100 * target_.dpiY);
  if (FindPclPageSize(target_.pageSize) == nullptr) target_.pageSize = kPclLetter;
  if (!IsPclSymbolSet(target_.symbolSet)) target_.symbolSet = kPc8;
  Reset();
}

PclInterpreter::~PclInterpreter() {
  for (const CachedFont& font : fonts_) printers_.DeleteFont(font.handle);
}

void PclInterpreter::FindPrintable() const {
  // The printable area is fixed on the sheet: registration moves the logical page, not the paper.
  printableSheet_ = {state_.physicalWidth, state_.physicalLength};
  printable_ = TextRect{PclDots(kUnprintable, target_.dpiX) - target_.offsetX,
                        PclDots(kUnprintable, target_.dpiY) - target_.offsetY,
                        PclDots(state_.physicalWidth - kUnprintable, target_.dpiX) - target_.offsetX,
                        PclDots(state_.physicalLength - kUnprintable, target_.dpiY) - target_.offsetY};
}

void PclInterpreter::Reset() {
  EjectPage(false);
  state_ = PclState();
  state_.pageSize = target_.pageSize;
  for (PclFontCharacteristics& wanted : state_.wanted) wanted.symbolSet = target_.symbolSet;
  ApplyPageGeometry();
  overlayMacro_ = -1;
  // Temporary downloads go with a reset; this printer keeps no permanent ones across takes anyway, so the
  // macros and fonts of the take stay until it ends.
  FontChanged();
}

void PclInterpreter::ApplyPageGeometry() {
  const PclPageSize* size = FindPclPageSize(state_.pageSize);
  if (size == nullptr) size = FindPclPageSize(kPclLetter);
  const bool landscape = (state_.orientation & 1) != 0;
  const std::int64_t width = (landscape ? size->length : size->width) * kPclUnitsPerDot300;
  const std::int64_t length = (landscape ? size->width : size->length) * kPclUnitsPerDot300;
  const std::int64_t offset = (landscape ? size->landscapeOffset : size->portraitOffset) * kPclUnitsPerDot300;
  state_.physicalWidth = width;
  state_.physicalLength = length;
  state_.logicalLeft = offset;
  state_.logicalWidth = width - 2 * offset;
  DefaultMargins();
}

void PclInterpreter::DefaultMargins() {
  state_.vmi = kPclUnitsPerInch / 6;
  state_.topMargin = state_.physicalLength >= kHalfInch ? kHalfInch : 0;
  const std::int64_t rest = state_.physicalLength - state_.topMargin - kHalfInch;
  state_.textLength = std::max<std::int64_t>(0, rest / state_.vmi) * state_.vmi;
  state_.leftMargin = 0;
  state_.rightMargin = state_.logicalWidth;
  state_.cursor = PclCursor{0, FirstLine()};
}

// Programs repeat the page setup before every line; only a change starts a new page.
void PclInterpreter::SetPageSize(std::int32_t code) {
  if (FindPclPageSize(code) == nullptr || code == state_.pageSize) return;
  EjectPage(false);
  state_.pageSize = code;
  ApplyPageGeometry();
  overlayMacro_ = -1;
}

void PclInterpreter::SetOrientation(std::int32_t orientation) {
  if (orientation < 0 || orientation > 3 || orientation == state_.orientation) return;
  EjectPage(false);
  state_.orientation = orientation;
  ApplyPageGeometry();
}

void PclInterpreter::SetTopMargin(std::int64_t lines) {
  const std::int64_t margin = lines * state_.vmi;
  if (state_.vmi == 0 || lines < 0 || margin > state_.physicalLength) return;
  state_.topMargin = margin;
  const std::int64_t rest = state_.physicalLength - margin - kHalfInch;
  state_.textLength = std::max<std::int64_t>(0, rest / state_.vmi) * state_.vmi;
}

void PclInterpreter::SetTextLength(std::int64_t lines) {
  const std::int64_t length = lines * state_.vmi;
  if (state_.vmi == 0 || lines < 0 || state_.topMargin + length > state_.physicalLength) return;
  state_.textLength = length;
}

void PclInterpreter::SetLeftMargin(std::int64_t x) {
  if (x < 0 || x >= state_.rightMargin) return;
  state_.leftMargin = x;
  state_.cursor.x = std::max(state_.cursor.x, x);
}

void PclInterpreter::SetRightMargin(std::int64_t x) {
  x = std::min(x, state_.logicalWidth);
  if (x <= state_.leftMargin) return;
  state_.rightMargin = x;
}

void PclInterpreter::ClearHorizontalMargins() {
  state_.leftMargin = 0;
  state_.rightMargin = state_.logicalWidth;
}

void PclInterpreter::SetVmi(std::int64_t vmi) {
  if (vmi < 0 || vmi > state_.physicalLength) return;
  state_.vmi = vmi;
}

void PclInterpreter::SetHmi(std::int64_t hmi) {
  if (hmi < 0 || hmi > 32767 * kPclUnitsPerInch / 120) return;
  state_.hmi = hmi;
}

void PclInterpreter::MoveTo(std::int64_t x, std::int64_t y) {
  FlushUnderline();
  // The cursor stays on the logical page.
  state_.cursor.x = std::clamp<std::int64_t>(x, 0, state_.logicalWidth);
  state_.cursor.y = std::clamp<std::int64_t>(y, 0, state_.physicalLength);
}

void PclInterpreter::CarriageReturn() {
  FlushUnderline();
  state_.cursor.x = state_.leftMargin;
}

void PclInterpreter::LineFeed() {
  FlushUnderline();
  const std::int64_t next = state_.cursor.y + state_.vmi;
  const std::int64_t bottom =
      state_.perforationSkip ? state_.topMargin + state_.textLength : state_.physicalLength;
  if (next > bottom) {
    EjectPage(true);
    state_.cursor.y = FirstLine();
    return;
  }
  state_.cursor.y = next;
}

void PclInterpreter::HalfLineFeed() {
  FlushUnderline();
  state_.cursor.y = std::min(state_.cursor.y + state_.vmi / 2, state_.physicalLength);
}

void PclInterpreter::FormFeed() {
  EjectPage(true);
  state_.cursor.y = FirstLine();
}

void PclInterpreter::PushPop(std::int32_t operation) {
  if (operation == 0 && state_.stack.size() < kMaxCursorStack) state_.stack.push_back(state_.cursor);
  if (operation == 1 && !state_.stack.empty()) {
    MoveTo(state_.stack.back().x, state_.stack.back().y);
    state_.stack.pop_back();
  }
}

void PclInterpreter::FontChanged(bool active) {
  FlushUnderline();
  fontValid_ = false;
  if (!active) return;  // the other font changed: the one in use and its HMI stay
  const PclFont& font = CurrentFont();
  // Selecting a font sets the HMI to its pitch; a proportional font's is the width of its space.
  state_.hmi = std::llround(static_cast<double>(kPclUnitsPerInch) / font.pitch);
}

void PclInterpreter::EjectPage(bool always) {
  FlushUnderline();
  if (state_.raster.active) EndRaster();
  if (!pageMarked_ && page_.Empty() && !always) return;
  if (overlayMacro_ >= 0 && !inOverlay_) {
    inOverlay_ = true;
    RunMacro(overlayMacro_, true);
    inOverlay_ = false;
  }
  PrintSheet();
  pageMarked_ = false;
  state_.raster.rows = 0;
}

void PclInterpreter::PrintSheet() {
  droppedMarks_ = droppedMarks_ || page_.Overflowed();
  // Copies multiply whatever a take holds; past a bound every page prints once, so that a take of form
  // feeds cannot make millions of sheets.
  std::int32_t copies = std::clamp(state_.copies, 1, 999);
  if (copies > 1 && copySheets_ + copies - 1 > kMaxCopySheets) {
    copies = 1;
    droppedCopies_ = true;
  }
  copySheets_ += copies - 1;
  const std::pair<std::int32_t, std::int32_t> sheet = Sheet();
  for (std::int32_t copy = 0; copy < copies; ++copy) {
    if (target_.device != nullptr) {
      // The caller started the first sheet.
      if (sheets_ > 0) {
        target_.device->EndPage();
        target_.device->StartPage();
      }
      // A landscape page, or one of another size, gets a sheet of its own rather than being cut off.
      if (sheet != sheet_) {
        sheet_ = sheet;
        target_.device->SetPageSize(sheet.first, sheet.second);
      }
      page_.Play(*target_.device);
    }
    ++sheets_;
  }
  lastLowest_ = page_.Lowest();
  lastTextTop_ = page_.LowestTextTop();
  page_.Clear();
}

std::pair<std::int32_t, std::int32_t> PclInterpreter::Sheet() const {
  const bool landscape = (state_.orientation & 1) != 0;
  const bool paperAcross = target_.paperWidth > target_.paperHeight;
  if (state_.pageSize == target_.pageSize) {
    if (landscape == paperAcross) return {0, 0};
    // The tray's own paper turned.
    if (target_.paperWidth > 0 && target_.paperHeight > 0) {
      return {SaturateToInt32(std::int64_t{target_.paperHeight} * target_.dpiX / target_.dpiY),
              SaturateToInt32(std::int64_t{target_.paperWidth} * target_.dpiY / target_.dpiX)};
    }
  }
  return {PclDots(state_.physicalWidth, target_.dpiX), PclDots(state_.physicalLength, target_.dpiY)};
}

void PclInterpreter::Finish() {
  FlushUnderline();
  if (state_.raster.active) EndRaster();
  if (!page_.Empty() || pageMarked_) {
    if (overlayMacro_ >= 0) {
      inOverlay_ = true;
      RunMacro(overlayMacro_, true);
      inOverlay_ = false;
    }
    PrintSheet();
    pageMarked_ = false;
  }
}

void PclInterpreter::Run(const std::uint8_t* data, std::int32_t length,
                         std::function<void(std::int32_t)> passed) {
  take_ = data;
  passed_ = std::move(passed);
  Interpret(data, length);
}

std::int32_t PclInterpreter::SkipPjl(const std::uint8_t* data, std::int32_t length,
                                     std::int32_t position) const {
  // Job-language lines (and blank lines between them) up to the first line that is none.
  while (position < length) {
    if (data[position] == '\r' || data[position] == '\n') {
      ++position;
      continue;
    }
    if (!StartsWith(data, length, position, "@PJL")) break;
    const void* end = std::memchr(data + position, '\n', static_cast<std::size_t>(length - position));
    position =
        end == nullptr ? length : static_cast<std::int32_t>(static_cast<const std::uint8_t*>(end) - data) + 1;
  }
  return position;
}

std::int32_t PclInterpreter::SkipHpgl2(const std::uint8_t* data, std::int32_t length, std::int32_t position) {
  // HP-GL/2 runs up to ESC % # A (back to PCL), a reset or a UEL.
  while (position < length) {
    const void* found = std::memchr(data + position, kEscape, static_cast<std::size_t>(length - position));
    if (found == nullptr) return length;
    const auto at = static_cast<std::int32_t>(static_cast<const std::uint8_t*>(found) - data);
    if (at + 1 < length && (data[at + 1] == 'E' || data[at + 1] == '%')) {
      hpgl2_ = false;
      return at;
    }
    position = at + 1;
  }
  return length;
}

void PclInterpreter::Interpret(const std::uint8_t* data, std::int32_t length) {
  std::int32_t position = 0;
  bool lineStart = true;
  while (position < length) {
    if (hpgl2_) {
      position = SkipHpgl2(data, length, position);
      continue;
    }
    if (data == take_ && position >= nextPassed_ && passed_) {
      passed_(position);
      nextPassed_ = position + (1 << 20);
    }
    if (lineStart && data[position] == '@') {
      const std::int32_t after = SkipPjl(data, length, position);
      if (after != position) {
        position = after;
        continue;
      }
    }
    const std::uint8_t byte = data[position++];
    if (byte == kEscape) {
      const std::int32_t start = position - 1;
      if (defining_) {
        // A macro keeps its commands as bytes; only the end of the definition is carried out.
        struct StopFinder final : PclCommandSink {
          bool stop = false;
          void Command(const PclCommand& command) override {
            stop = stop || (command.parameterized == '&' && command.group == 'f' &&
                            command.terminator == 'X' && command.Int() == 1);
          }
        } finder;
        const std::int32_t used = ReadPclSequence(data, length, position, finder);
        if (!finder.stop) {
          if (definition_.size() + static_cast<std::size_t>(used + 1) + macroBytes_ <= kMaxPclMacroBytes) {
            definition_.append(reinterpret_cast<const char*>(data + start),
                               static_cast<std::size_t>(used + 1));
          } else {
            droppedMacros_ = true;
          }
          position += used;
          continue;
        }
      }
      position += ReadPclSequence(data, length, position, *this);
      // After a UEL the job language may follow again.
      lineStart = data[position - 1] == 'X' || data[position - 1] == '\n';
      continue;
    }
    lineStart = byte == '\n';
    if (defining_) {
      if (definition_.size() + macroBytes_ < kMaxPclMacroBytes) {
        definition_.push_back(static_cast<char>(byte));
      } else {
        droppedMacros_ = true;
      }
      continue;
    }
    if (byte < 32) {
      ControlCode(byte);
      continue;
    }
    PrintByte(byte);
    position += PrintPlainText(data + position, length - position);
  }
}

void PclInterpreter::Command(const PclCommand& command) { ExecutePclCommand(*this, command); }

void PclInterpreter::EnterHpgl2() {
  hpgl2_ = true;
  skippedHpgl2_ = true;
}

void PclInterpreter::ControlCode(std::uint8_t byte) {
  switch (byte) {
    case '\r':
      CarriageReturn();
      if (state_.lineTermination == 1 || state_.lineTermination == 3) LineFeed();
      break;
    case '\n':
      if (state_.lineTermination >= 2) CarriageReturn();
      LineFeed();
      break;
    case '\f':
      if (state_.lineTermination >= 2) CarriageReturn();
      FormFeed();
      break;
    case '\b': {
      FlushUnderline();
      state_.cursor.x = std::max(state_.leftMargin, state_.cursor.x - state_.hmi);
      break;
    }
    case '\t': {
      FlushUnderline();
      const std::int64_t tab = state_.hmi * kTabColumns;
      if (tab <= 0) break;
      const std::int64_t column = (state_.cursor.x - state_.leftMargin) / tab + 1;
      state_.cursor.x = std::min(state_.leftMargin + column * tab, state_.rightMargin);
      break;
    }
    case 14:  // SO
    case 15:  // SI
      state_.secondary = byte == 14;
      FontChanged();
      break;
    default:
      break;  // other control codes do nothing
  }
}

}  // namespace quillmark
