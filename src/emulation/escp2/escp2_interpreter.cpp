#include "emulation/escp2/escp2_interpreter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "emulation/block_characters.h"
#include "emulation/code_pages.h"
#include "emulation/dot_math.h"
#include "emulation/escp2/escp2_character_codes.h"
#include "emulation/escp2/escp2_charsets.h"
#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_fonts.h"
#include "emulation/fill_joining.h"

namespace quillmark {
namespace {

constexpr std::uint8_t kEscape = 27;
constexpr std::uint8_t kDelete = 127;

constexpr std::size_t kMaxFonts = 48;
constexpr std::int32_t kMaxDotsPerInch = 9600;
constexpr std::int32_t kMaxOrigin = 100'000'000;
constexpr float kMaxPaper = 10000.0f;  // millimetres

// Element by element: for every character, where std::array's == would call memcmp.
bool SameScoreLines(const std::array<std::uint8_t, 3>& a, const std::array<std::uint8_t, 3>& b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}
constexpr double kCarriageInches = 8.0;  // the longest line: 80 columns at 10 cpi

}  // namespace

void RunEscp2(Printout& job, PrintSystem& printers, const ErrorLog* log) {
  Escp2Interpreter printer(job, printers, log);
  printer.Run();
}

Escp2Interpreter::Escp2Interpreter(Printout& job, PrintSystem& printers, const ErrorLog* log)
    : job_(job), printers_(printers), log_(log) {
  // A device whose resolution or page origin no printer has gets nothing drawn, so that every position
  // stays far inside the 32-bit range.
  PrintDevice* device = job_.DeviceContext.get();
  const bool usable = device != nullptr && job_.DpiX > 0 && job_.DpiX <= kMaxDotsPerInch && job_.DpiY > 0 &&
                      job_.DpiY <= kMaxDotsPerInch && job_.OriginX >= 0 && job_.OriginX <= kMaxOrigin &&
                      job_.OriginY >= 0 && job_.OriginY <= kMaxOrigin;
  if (usable) {
    device_ = device;
    dpiX_ = job_.DpiX;
    dpiY_ = job_.DpiY;
  }
  // The paper around the origin: what fits right of it and below it.
  const auto paper = [](float millimetres, float fallback) {
    return millimetres > 0 ? std::min(millimetres, kMaxPaper) : fallback;
  };
  double width = paper(job_.Settings.PaperWidth, kA4WidthMm) / kMillimetresPerInch;
  double height = paper(job_.Settings.PaperHeight, kA4HeightMm) / kMillimetresPerInch;
  // A printer that knows its media (a CUPS printer) prints on that.
  if (device_ != nullptr && device_->PaperWidthDots() > 0 && device_->PaperHeightDots() > 0) {
    width = std::min<double>(device_->PaperWidthDots(), kMaxPaper / kMillimetresPerInch * dpiX_) / dpiX_;
    height = std::min<double>(device_->PaperHeightDots(), kMaxPaper / kMillimetresPerInch * dpiY_) / dpiY_;
  }
  const double offsetX = device_ ? device_->PhysicalOffsetX() : 0;
  const double offsetY = device_ ? device_->PhysicalOffsetY() : 0;
  // Without Border keys the form sits as on the printer: its top at the printable area's top, and the
  // carriage's 8-inch line centred on the sheet, so that 80 columns fit on A4 and Letter with room on
  // both sides. Keys move the origin, as a user aligns the paper in the printer.
  if (device_ != nullptr && !job_.Settings.BorderLeftGiven) {
    const double margin = std::max(0.0, (width - kCarriageInches) / 2);
    job_.OriginX = std::clamp(RoundToDots(margin * dpiX_ - offsetX), 0, kMaxOrigin);
  }
  if (device_ != nullptr && !job_.Settings.BorderTopGiven) job_.OriginY = 0;
  state_.paperWidth = std::max(0, RoundToDots(width * dpiX_ - offsetX - (device_ ? job_.OriginX : 0)));
  const double below = device_ ? height - (job_.OriginY + offsetY) / dpiY_ : height;
  state_.paperLength = std::max<std::int64_t>(kUnitsPerInch, std::llround(below * kUnitsPerInch));
  state_.ninePin = job_.Settings.Mode == Emulation::kEscP;
  Reset();
  lastLineY_ = job_.Y;
}

Escp2Interpreter::~Escp2Interpreter() {
  Flush();
  FlushFills();
  // The footer and the next take print with the black ribbon.
  if (state_.graphics.colour != 0 && device_) device_->SetTextColor(0);
  // The document's own font goes back to the device, so that nothing later draws with a deleted one.
  if (device_ && job_.Font != 0) device_->SelectFont(job_.Font);
  for (const Font& font : fonts_) printers_.DeleteFont(font.handle);
}

void Escp2Interpreter::Reset() {
  Flush();
  Escp2State previous = std::move(state_);
  state_ = Escp2State();
  // ESC @ only switches back from the downloaded characters; they stay defined.
  state_.userChars = std::move(previous.userChars);
  state_.userChars.selected = false;
  if (previous.graphics.colour != 0 && device_) {
    FlushFills();  // rules drawn so far keep their colour
    device_->SetTextColor(0);
  }
  state_.ninePin = previous.ninePin;
  // A 9-pin printer starts in draft; NLQ is ESC x 1.
  state_.mode.letterQuality = !state_.ninePin;
  state_.paperWidth = previous.paperWidth;
  state_.paperLength = previous.paperLength;
  state_.vertical = previous.vertical;
  state_.graphics.lowestDrawn = previous.graphics.lowestDrawn;
  const std::int32_t codePage = CodePageUpperHalf(job_.Settings.CodePage) ? job_.Settings.CodePage : 437;
  state_.slots = {0, codePage, codePage, codePage};
  state_.pageLength = state_.paperLength;
  state_.bottomMargin = state_.pageLength;
  state_.leftMargin = 0;
  state_.rightMargin =
      std::min(state_.paperWidth, DotsX(InUnits<1>(static_cast<std::int64_t>(kCarriageInches))));
  DefaultTabs();
  job_.X = job_.OriginX;
  SyncY();
}

void Escp2Interpreter::Run() {
  const std::uint8_t* data = job_.Data;
  const std::int32_t length = job_.DataLength;
  std::int32_t position = 0;
  while (position < length) {
    job_.Passed(position);
    const std::uint8_t byte = ApplyMsbControl(state_.msb, data[position++]);
    if (byte == kEscape) {
      Escp2Command command;
      const std::int32_t used = ReadEscp2Command(data, length, position, state_, command);
      // A command cut off by the end of the data takes the rest with it.
      if (used == 0) break;
      position += used;
      ExecuteEscp2Command(*this, command);
      continue;
    }
    const bool italicTable = state_.slots[state_.table & 3] == 0;
    if (byte < 32 || byte == kDelete ||
        (byte >= 128 && byte < 160 && italicTable && !state_.upperControlsPrint)) {
      ControlCode(static_cast<std::uint8_t>(byte & 0x7F));
      continue;
    }
    PrintByte(byte);
    position += PrintPlainText(data + position, length - position);
  }
  Flush();
  FlushFills();
  // Data that ends with a form feed starts no empty page: the footer follows the last printed line.
  if (pagePending_) job_.Y = lastLineY_;
  // The footer comes a third of an inch below job.Y: an image or bar code reaching lower pushes it down.
  const std::int32_t footerLine = RoundToDots(dpiY_ / 3.0);
  const std::int32_t clears = state_.graphics.lowestDrawn + RoundToDots(dpiY_ / 60.0) - footerLine;
  job_.Y = std::max(job_.Y, clears);
  // A footer that would run off the sheet goes to the top of a page of its own, where it covers nothing.
  const double sheetBottom = job_.OriginY + static_cast<double>(state_.paperLength) * dpiY_ / kUnitsPerInch;
  if (device_ != nullptr && job_.Y + footerLine + RoundToDots(dpiY_ / 8.0) > sheetBottom) {
    pagePending_ = true;
    BeginDrawing();
    job_.Y = job_.OriginY - footerLine;
  }
}

void Escp2Interpreter::RejectBarCode(std::int32_t type) {
  if (barCodeRejected_ || log_ == nullptr) return;
  barCodeRejected_ = true;
  log_->LogError("",
                 "Strichcode (ESC ( B, Typ " + std::to_string(type) +
                     ") nicht gedruckt: Daten, Maße oder Breite passen nicht; weitere werden nicht gemeldet.",
                 "", 0, 0);
}

std::int32_t Escp2Interpreter::ColumnWidth() const {
  const Escp2PrintMode& mode = state_.mode;
  if (mode.hmi > 0) return DotsX(InUnits<360>(mode.hmi));
  return DotsX(CharacterPitchUnits(mode));
}

std::int32_t Escp2Interpreter::DotsX(std::int64_t units) const {
  return RoundToDots(static_cast<double>(units) * dpiX_ / static_cast<double>(kUnitsPerInch));
}

std::int32_t Escp2Interpreter::RightLimit() const { return std::min(state_.rightMargin, state_.paperWidth); }

void Escp2Interpreter::SyncY() {
  job_.Y = job_.OriginY + formTopOnSheet_ +
           RoundToDots(static_cast<double>(state_.vertical) * state_.scale * dpiY_ /
                       static_cast<double>(kUnitsPerInch));
}

bool Escp2Interpreter::BeginImage(std::int64_t heightUnits) {
  Flush();
  FlushFills();
  if (device_ == nullptr) return false;
  if (heightUnits > 0 && state_.vertical > state_.topMargin &&
      state_.vertical + heightUnits > state_.bottomMargin) {
    const std::int32_t column = job_.X;
    FormFeed();
    job_.X = column;
  }
  BeginDrawing();
  return true;
}

Escp2Context Escp2Interpreter::GraphicsContext() {
  return Escp2Context{job_, state_.graphics, job_.OriginX + RightLimit(), state_.scale * dpiY_,
                      state_.ninePin};
}

void Escp2Interpreter::EndImage(std::int64_t widthDots) {
  job_.X = static_cast<std::int32_t>(std::min<std::int64_t>(job_.X + widthDots, job_.OriginX + RightLimit()));
}

Escp2Context Escp2Interpreter::SettingContext() {
  Flush();
  FlushFills();
  return GraphicsContext();
}

void Escp2Interpreter::AddFill(const TextRect& rect) {
  if (!JoinFill(fills_, rect)) fills_.push_back(rect);
}

void Escp2Interpreter::FlushFills() {
  if (device_ != nullptr) {
    for (const TextRect& rect : fills_) device_->FillRectangle(rect);
  }
  fills_.clear();
}

void Escp2Interpreter::BeginDrawing() {
  if (!pagePending_) return;
  pagePending_ = false;
  Flush();
  FlushFills();
  if (PrintDevice* device = device_) {
    device->EndPage();
    device->StartPage();
  }
  state_.graphics.lowestDrawn = 0;
}

bool Escp2Interpreter::Decode(std::uint8_t byte, char32_t& character, bool& italic) const {
  const std::int32_t table = state_.slots[state_.table & 3];
  italic = false;
  if (byte < 128) {
    character = state_.nationalSet == 0 ? byte : NationalCharacter(state_.nationalSet, byte);
    return true;
  }
  if (table == 0) {
    // The italic table repeats the lower half in italics.
    italic = true;
    const std::uint8_t lower = static_cast<std::uint8_t>(byte - 128);
    character = lower < 32 ? U' ' : NationalCharacter(state_.nationalSet, lower);
    return true;
  }
  const char16_t* upper = CodePageUpperHalf(table);
  character = upper ? upper[byte - 128] : U' ';
  return true;
}

const Escp2Interpreter::Glyph& Escp2Interpreter::MakeGlyph(int slot, bool italic) {
  Glyph& glyph = glyphs_[slot];
  const Escp2FontMetrics metrics = MakeEscp2Font(state_.mode, italic, dpiX_, dpiY_);
  glyph.font = FontFor(metrics.request);
  glyph.drawAdvance = metrics.request.width;
  glyph.advance = metrics.advance;
  glyph.em = -metrics.request.height;
  glyph.top = metrics.top;
  glyph.proportional = metrics.proportional;
  glyph.extra = metrics.advance - metrics.request.width;
  glyph.score = state_.mode.scoreLines;
  glyphModes_[slot] = state_.mode;
  glyphValid_[slot] = true;
  return glyph;
}

FontHandle Escp2Interpreter::FontFor(const FontRequest& request) {
  for (const Font& font : fonts_) {
    if (font.request == request) return font.handle;
  }
  // A job that walks through very many sizes keeps only the most recent fonts.
  if (fonts_.size() >= kMaxFonts) {
    Flush();
    if (fonts_.front().handle == selected_ && device_ && job_.Font != 0) {
      device_->SelectFont(job_.Font);
      selected_ = job_.Font;
    }
    printers_.DeleteFont(fonts_.front().handle);
    fonts_.erase(fonts_.begin());
    glyphValid_[0] = glyphValid_[1] = false;
  }
  const FontHandle handle = printers_.CreateFont(request);
  fonts_.push_back(Font{request, handle});
  return handle;
}

std::int32_t Escp2Interpreter::Measure(char32_t character, const Glyph& glyph) {
  PrintDevice* device = device_;
  if (device == nullptr || glyph.font == 0) return 0;
  if (selected_ != glyph.font) {
    Flush();
    device->SelectFont(glyph.font);
    selected_ = glyph.font;
  }
  TextRect rect;
  const char32_t text[1] = {character};
  device->MeasureUnicodeText(std::u32string_view(text, 1), rect);
  return rect.right - rect.left;
}

void Escp2Interpreter::Wrap() {
  LineFeed();
  CurrentGlyph(false);
}

void Escp2Interpreter::PrintByte(std::uint8_t byte) {
  // Table 2 may hold a copy of the downloaded characters in its upper half.
  const bool upper = byte >= 128 && InUpperUserCharacters(state_, byte);
  const std::uint8_t code = upper ? static_cast<std::uint8_t>(byte - 128) : byte;
  char32_t character = 0;
  bool italic = false;
  if (!Decode(code, character, italic)) return;
  const Escp2UserCharacter* user = nullptr;
  // Most text never meets a downloaded character: the test is inline.
  const Escp2UserCharSet& set = upper ? state_.upperChars : state_.userChars;
  const UserCharChoice choice =
      set.selected ? ChooseUserCharacter(set, state_.mode, code, user) : UserCharChoice::kRom;
  if (choice == UserCharChoice::kImage) PrintUserCharacter(*user);
  // The printer's own tables hold no characters at the control codes.
  if (choice != UserCharChoice::kRom || code < 32 || code == kDelete) return;
  const Glyph* glyph = &CurrentGlyph(italic);
  std::int32_t drawAdvance = glyph->proportional ? Measure(character, *glyph) : glyph->drawAdvance;
  std::int32_t advance = drawAdvance + glyph->extra;
  if (job_.X + advance > job_.OriginX + RightLimit()) {
    // A space past the right edge would only push the next line down: it is dropped.
    if (character == U' ') return;
    if (job_.X > job_.OriginX + state_.leftMargin) {
      Wrap();
      glyph = &CurrentGlyph(italic);
      drawAdvance = glyph->proportional ? Measure(character, *glyph) : glyph->drawAdvance;
      advance = drawAdvance + glyph->extra;
    }
  }
  BeginDrawing();
  lastLineY_ = job_.Y;
  // Box-drawing and block characters print as rules; their text stays in the line, without ink.
  const bool rules = IsBlockCharacter(character) && DrawBlockCharacter(character, advance);
  ContinueRun(*glyph, rules);
  run_.push_back(character);
  runRect_.right += advance;
  job_.X += advance;
}

void Escp2Interpreter::ContinueRun(const Glyph& glyph, bool hidden) {
  const std::int32_t top = job_.Y + glyph.top;
  const bool continues = !run_.empty() && runFont_ == glyph.font && runRect_.top == top &&
                         runRect_.right == job_.X && glyph.extra == 0 && runHidden_ == hidden &&
                         SameScoreLines(runGlyph_.score, glyph.score);
  if (continues) return;
  EndRun();
  runFont_ = glyph.font;
  runRect_ = TextRect{job_.X, top, job_.X, top + glyph.em};
  runGlyph_ = glyph;
  runHidden_ = hidden;
}

std::int32_t Escp2Interpreter::PrintPlainText(const std::uint8_t* data, std::int32_t length) {
  // Only text that PrintByte would print as it comes, a fixed advance each, with nothing to decide per
  // character but its code; anything else stops here and goes the long way.
  if (length <= 0 || state_.msb != MsbControl::kOff || state_.userChars.selected || pagePending_ ||
      device_ == nullptr) {
    return 0;
  }
  const bool upperUser = InUpperUserCharacters(state_, 0x80);
  const Glyph& glyph = CurrentGlyph(false);
  if (glyph.proportional || glyph.extra != 0 || glyph.font == 0) return 0;
  const std::int32_t limit = job_.OriginX + RightLimit();
  std::int32_t used = 0;
  for (; used < length; ++used) {
    const std::uint8_t byte = data[used];
    // Control codes, codes 128-159 (control codes in the italic table) and a downloaded upper half stop.
    if (byte < 32 || byte == kDelete || (byte >= 128 && (byte < 160 || upperUser))) break;
    char32_t character = 0;
    bool italic = false;
    Decode(byte, character, italic);
    if (italic || IsBlockCharacter(character) || job_.X + glyph.advance > limit) break;
    if (used == 0) ContinueRun(glyph, false);
    run_.push_back(character);
    runRect_.right += glyph.advance;
    job_.X += glyph.advance;
  }
  if (used > 0) lastLineY_ = job_.Y;
  return used;
}

bool Escp2Interpreter::DrawBlockCharacter(char32_t character, std::int32_t width) {
  if (device_ == nullptr) return true;
  // The cell spans the whole line pitch, so that lines of neighbouring rows meet.
  const std::int32_t pitch = RoundToDots(static_cast<double>(state_.lineSpacing) * state_.scale * dpiY_ /
                                         static_cast<double>(kUnitsPerInch));
  const TextRect cell{job_.X, job_.Y, job_.X + width, job_.Y + (pitch > 0 ? pitch : glyphs_[0].em)};
  // The diagonals print as glyphs. The rules wait for the line's end with its text, for CAN.
  return BlockRectangles(character, cell, std::max(1, dpiY_ / 100), lineRules_);
}

void Escp2Interpreter::Decorate(std::int32_t left, std::int32_t right, const Glyph& glyph) {
  PrintDevice* device = device_;
  if (device == nullptr || right <= left) return;
  const std::int32_t thickness = std::max(1, dpiY_ / 180);
  // Underline below the baseline, strike-through across the middle, overscore at the top of the cell.
  const std::int32_t rows[3] = {glyph.top + glyph.em * 9 / 10, glyph.top + glyph.em * 2 / 5, glyph.top};
  for (int line = 0; line < 3; ++line) {
    const std::uint8_t kind = glyph.score[static_cast<std::size_t>(line)];
    if (kind == 0) continue;
    const std::int32_t y = job_.Y + rows[line];
    AddFill(TextRect{left, y, right, y + thickness});
    if (kind == 2) AddFill(TextRect{left, y + 2 * thickness, right, y + 3 * thickness});
  }
}

void Escp2Interpreter::EndRun() {
  if (run_.empty()) return;
  // The entries are reused, so that their strings keep their capacity from line to line.
  if (lineRunCount_ == lineRuns_.size()) lineRuns_.emplace_back();
  LineRun& line = lineRuns_[lineRunCount_++];
  line.text.swap(run_);
  line.rect = runRect_;
  line.glyph = runGlyph_;
  line.hidden = runHidden_;
  run_.clear();
  runFont_ = 0;
}

void Escp2Interpreter::Flush() {
  EndRun();
  PrintDevice* device = device_;
  for (std::size_t i = 0; i < lineRunCount_ && device != nullptr; ++i) {
    const LineRun& line = lineRuns_[i];
    if (line.hidden) {
      device->DrawHiddenText(line.text, line.rect, line.glyph.font);
    } else {
      if (selected_ != line.glyph.font) {
        device->SelectFont(line.glyph.font);
        selected_ = line.glyph.font;
      }
      device->DrawUnicodeText(line.text, line.rect);
    }
    const std::int32_t y = job_.Y;
    job_.Y = line.rect.top - line.glyph.top;
    Decorate(line.rect.left, line.rect.right, line.glyph);
    job_.Y = y;
  }
  lineRunCount_ = 0;
  for (const TextRect& rect : lineRules_) AddFill(rect);
  lineRules_.clear();
}

}  // namespace quillmark
