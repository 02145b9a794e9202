#include "emulation/escp2/escp2_interpreter.h"

#include <algorithm>
#include <cmath>

#include "emulation/code_pages.h"
#include "emulation/dot_math.h"
#include "emulation/escp2/escp2_blocks.h"
#include "emulation/escp2/escp2_charsets.h"
#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_fonts.h"

namespace quillmark {
namespace {

enum Control : std::uint8_t {
  kBackspace = 8,
  kTab = 9,
  kLineFeed = 10,
  kVerticalTab = 11,
  kFormFeed = 12,
  kCarriageReturn = 13,
  kShiftOut = 14,
  kShiftIn = 15,
  kDeviceControl2 = 18,
  kDeviceControl4 = 20,
  kCancel = 24,
  kEscape = 27,
  kDelete = 127,
};

constexpr double kMillimetresPerInch = 25.4;
constexpr float kA4Width = 210.0f;
constexpr float kA4Height = 297.0f;
constexpr std::size_t kMaxFonts = 48;

}  // namespace

void RunEscp2(PrintJob& job, PrintSystem& printers) {
  Escp2Interpreter printer(job, printers);
  printer.Run();
}

Escp2Interpreter::Escp2Interpreter(PrintJob& job, PrintSystem& printers) : job_(job), printers_(printers) {
  // The paper around the origin: what fits right of it and below it.
  const PrintDevice* device = job_.DeviceContext.get();
  const float paperWidth = job_.Settings.PaperWidth > 0 ? job_.Settings.PaperWidth : kA4Width;
  const float paperHeight = job_.Settings.PaperHeight > 0 ? job_.Settings.PaperHeight : kA4Height;
  const std::int32_t offsetX = device ? device->PhysicalOffsetX() : 0;
  const std::int32_t offsetY = device ? device->PhysicalOffsetY() : 0;
  state_.paperWidth = std::max<std::int32_t>(
      0, RoundToDots(paperWidth / kMillimetresPerInch * job_.DpiX) - offsetX - job_.OriginX);
  const double belowOrigin =
      paperHeight / kMillimetresPerInch -
      (job_.DpiY > 0 ? (job_.OriginY + offsetY) / static_cast<double>(job_.DpiY) : 0.0);
  state_.paperLength = std::max<std::int64_t>(kUnitsPerInch, std::llround(belowOrigin * kUnitsPerInch));
  Reset();
  lastLineY_ = job_.Y;
}

Escp2Interpreter::~Escp2Interpreter() {
  Flush();
  // The footer and the next take print with the black ribbon.
  if (state_.graphics.colour != 0 && job_.DeviceContext) job_.DeviceContext->SetTextColor(0);
  for (const Font& font : fonts_) printers_.DeleteFont(font.handle);
  // The document's own font goes back to the device, so that nothing later draws with a deleted one.
  if (job_.DeviceContext && job_.Font != 0) job_.DeviceContext->SelectFont(job_.Font);
}

void Escp2Interpreter::Reset() {
  Flush();
  const Escp2State previous = state_;
  state_ = Escp2State();
  if (previous.graphics.colour != 0 && job_.DeviceContext) job_.DeviceContext->SetTextColor(0);
  state_.paperWidth = previous.paperWidth;
  state_.paperLength = previous.paperLength;
  state_.vertical = previous.vertical;
  const std::int32_t codePage = CodePageUpperHalf(job_.Settings.CodePage) ? job_.Settings.CodePage : 437;
  state_.slots = {0, codePage, codePage, codePage};
  state_.pageLength = state_.paperLength;
  state_.bottomMargin = state_.pageLength;
  state_.leftMargin = 0;
  state_.rightMargin = state_.paperWidth;
  DefaultTabs();
  ModeChanged();
  SyncY();
}

void Escp2Interpreter::Run() {
  const std::uint8_t* data = job_.Data.get();
  const std::int32_t length = job_.DataLength;
  std::int32_t position = 0;
  while (position < length) {
    const std::uint8_t byte = data[position++];
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
      ControlCode(byte & 0x7F, position);
      continue;
    }
    PrintByte(byte);
  }
  Flush();
  // Data that ends with a form feed starts no empty page: the footer follows the last printed line.
  if (pagePending_) job_.Y = lastLineY_;
}

void Escp2Interpreter::ControlCode(std::uint8_t byte, std::int32_t&) {
  switch (byte) {
    case kBackspace: {
      Flush();
      const std::int32_t back = job_.X - ColumnWidth();
      if (back >= job_.OriginX + state_.leftMargin) job_.X = back;
      break;
    }
    case kTab: {
      Flush();
      const std::int32_t column = job_.X - job_.OriginX - state_.leftMargin;
      for (std::uint8_t i = 0; i < state_.tabCount; ++i) {
        if (state_.tabs[i] > column) {
          if (state_.tabs[i] + state_.leftMargin < RightLimit())
            job_.X = job_.OriginX + state_.leftMargin + state_.tabs[i];
          break;
        }
      }
      break;
    }
    case kLineFeed:
      LineFeed();
      break;
    case kVerticalTab: {
      if (state_.verticalTabCount == 0) {
        LineFeed();
        break;
      }
      CarriageReturn();
      for (std::uint8_t i = 0; i < state_.verticalTabCount; ++i) {
        if (state_.verticalTabs[i] > state_.vertical && state_.verticalTabs[i] < state_.bottomMargin) {
          Flush();
          state_.mode.doubleWidthLine = false;
          ModeChanged();
          SetVertical(state_.verticalTabs[i]);
          return;
        }
      }
      FormFeed();
      break;
    }
    case kFormFeed:
      FormFeed();
      break;
    case kCarriageReturn:
      CarriageReturn();
      break;
    case kShiftOut:
      Flush();
      state_.mode.doubleWidthLine = true;
      ModeChanged();
      break;
    case kShiftIn:
      Flush();
      state_.mode.condensed = true;
      ModeChanged();
      break;
    case kDeviceControl2:
      Flush();
      state_.mode.condensed = false;
      ModeChanged();
      break;
    case kDeviceControl4:
      Flush();
      state_.mode.doubleWidthLine = false;
      ModeChanged();
      break;
    case kCancel:
      // The text of the line not yet printed is dropped.
      run_.clear();
      runFont_ = 0;
      job_.X = job_.OriginX + state_.leftMargin;
      break;
    case kDelete:
      if (!run_.empty() && runFont_ != 0) {
        const Glyph& glyph = glyphs_[0].font == runFont_ ? glyphs_[0] : glyphs_[1];
        if (glyph.font == runFont_ && glyph.advance == glyph.drawAdvance && !glyph.proportional) {
          run_.pop_back();
          job_.X -= glyph.advance;
        }
      }
      break;
    default:
      break;  // NUL, BEL, DC1, DC3 and the rest
  }
}

void Escp2Interpreter::CarriageReturn() {
  Flush();
  job_.X = job_.OriginX + state_.leftMargin;
}

void Escp2Interpreter::LineFeed() {
  // A line feed also returns the carriage and ends one-line double width.
  CarriageReturn();
  if (state_.mode.doubleWidthLine) {
    state_.mode.doubleWidthLine = false;
    ModeChanged();
  }
  MoveDown(state_.lineSpacing);
}

void Escp2Interpreter::FormFeed() {
  CarriageReturn();
  if (state_.mode.doubleWidthLine) {
    state_.mode.doubleWidthLine = false;
    ModeChanged();
  }
  // The next page starts only when something is printed on it, so a final form feed adds no page; a
  // second form feed in a row ejects the empty page before it.
  if (pagePending_) BeginDrawing();
  pagePending_ = true;
  state_.vertical = state_.topMargin;
  SyncY();
}

void Escp2Interpreter::MoveDown(std::int64_t units) {
  Flush();
  const std::int64_t target = state_.vertical + units;
  if (units < 0 && target < state_.topMargin) return;
  if (target >= state_.bottomMargin) {
    FormFeed();
    return;
  }
  state_.vertical = target;
  SyncY();
}

void Escp2Interpreter::SetVertical(std::int64_t unitsFromTopOfForm) {
  if (unitsFromTopOfForm < state_.topMargin || unitsFromTopOfForm >= state_.bottomMargin) return;
  Flush();
  state_.vertical = unitsFromTopOfForm;
  SyncY();
}

void Escp2Interpreter::SetHorizontal(std::int32_t dotsFromOrigin) {
  if (dotsFromOrigin < state_.leftMargin || dotsFromOrigin >= RightLimit()) return;
  Flush();
  job_.X = job_.OriginX + dotsFromOrigin;
}

void Escp2Interpreter::SetPageLength(std::int64_t units) {
  if (units <= 0) return;
  Flush();
  state_.pageLength = units;
  state_.topMargin = 0;
  state_.bottomMargin = units;
  // A form longer than the paper is printed smaller so that all of it lands on the sheet.
  state_.scale =
      units > state_.paperLength ? static_cast<double>(state_.paperLength) / static_cast<double>(units) : 1.0;
  SyncY();
}

void Escp2Interpreter::SetMargins(std::int64_t top, std::int64_t bottom) {
  if (top < 0 || bottom <= top) return;
  state_.topMargin = std::min(top, state_.pageLength);
  state_.bottomMargin = std::min(bottom, state_.pageLength);
  if (state_.vertical < state_.topMargin) {
    Flush();
    state_.vertical = state_.topMargin;
    SyncY();
  }
}

void Escp2Interpreter::DefaultTabs() {
  const std::int32_t column = DotsX(kUnitsPerInch / 10);
  state_.tabCount = static_cast<std::uint8_t>(state_.tabs.size());
  for (std::size_t i = 0; i < state_.tabs.size(); ++i) {
    state_.tabs[i] = static_cast<std::int32_t>(8 * (i + 1)) * column;
  }
}

std::int32_t Escp2Interpreter::ColumnWidth() const {
  const Escp2PrintMode& mode = state_.mode;
  if (mode.hmi > 0) return DotsX(std::int64_t{mode.hmi} * 10);
  return DotsX(CharacterPitchUnits(mode));
}

std::int32_t Escp2Interpreter::DotsX(std::int64_t units) const {
  return RoundToDots(static_cast<double>(units) * job_.DpiX / static_cast<double>(kUnitsPerInch));
}

std::int32_t Escp2Interpreter::RightLimit() const { return std::min(state_.rightMargin, state_.paperWidth); }

void Escp2Interpreter::SyncY() {
  job_.Y = job_.OriginY + RoundToDots(static_cast<double>(state_.vertical) * state_.scale * job_.DpiY /
                                      static_cast<double>(kUnitsPerInch));
}

Escp2Context Escp2Interpreter::BeginImage() {
  Flush();
  BeginDrawing();
  return Escp2Context{job_, state_.graphics, job_.OriginX + RightLimit(), state_.scale * job_.DpiY};
}

Escp2Context Escp2Interpreter::SettingContext() {
  Flush();
  return Escp2Context{job_, state_.graphics, job_.OriginX + RightLimit(), state_.scale * job_.DpiY};
}

void Escp2Interpreter::BeginDrawing() {
  if (!pagePending_) return;
  pagePending_ = false;
  if (PrintDevice* device = job_.DeviceContext.get()) {
    device->EndPage();
    device->StartPage();
  }
}

bool Escp2Interpreter::Decode(std::uint8_t byte, char32_t& character, bool& italic) const {
  const std::int32_t table = state_.slots[state_.table & 3];
  italic = false;
  if (byte < 128) {
    character = NationalCharacter(state_.nationalSet, byte);
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

const Escp2Interpreter::Glyph& Escp2Interpreter::CurrentGlyph(bool italic) {
  if (!fontValid_) {
    glyphValid_[0] = glyphValid_[1] = false;
    fontValid_ = true;
  }
  Glyph& glyph = glyphs_[italic ? 1 : 0];
  if (glyphValid_[italic ? 1 : 0]) return glyph;
  const Escp2FontMetrics metrics = MakeEscp2Font(state_.mode, italic, job_.DpiX, job_.DpiY);
  glyph.font = FontFor(metrics.request);
  glyph.drawAdvance = metrics.request.width;
  glyph.advance = metrics.advance;
  glyph.em = -metrics.request.height;
  glyph.top = metrics.top;
  glyph.proportional = metrics.proportional;
  glyph.extra = metrics.advance - metrics.request.width;
  glyph.score = state_.mode.scoreLines;
  glyphValid_[italic ? 1 : 0] = true;
  return glyph;
}

FontHandle Escp2Interpreter::FontFor(const FontRequest& request) {
  for (const Font& font : fonts_) {
    if (font.request == request) return font.handle;
  }
  // A job that walks through very many sizes keeps only the most recent fonts.
  if (fonts_.size() >= kMaxFonts) {
    Flush();
    if (fonts_.front().handle == selected_ && job_.DeviceContext && job_.Font != 0) {
      job_.DeviceContext->SelectFont(job_.Font);
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
  PrintDevice* device = job_.DeviceContext.get();
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
  char32_t character = 0;
  bool italic = false;
  if (!Decode(byte, character, italic)) return;
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
  if (IsBlockCharacter(character)) {
    Flush();
    DrawBlockCharacter(character, advance);
    Decorate(job_.X, job_.X + advance, *glyph);
    job_.X += advance;
    return;
  }
  const std::int32_t top = job_.Y + glyph->top;
  const bool continues = !run_.empty() && runFont_ == glyph->font && runRect_.top == top &&
                         runRect_.right == job_.X && glyph->extra == 0 && runGlyph_.score == glyph->score;
  if (!continues) {
    Flush();
    runFont_ = glyph->font;
    runRect_ = TextRect{job_.X, top, job_.X, top + glyph->em};
    runGlyph_ = *glyph;
  }
  run_.push_back(character);
  runRect_.right += advance;
  job_.X += advance;
}

void Escp2Interpreter::DrawBlockCharacter(char32_t character, std::int32_t width) {
  PrintDevice* device = job_.DeviceContext.get();
  if (device == nullptr) return;
  // The cell spans the whole line pitch, so that lines of neighbouring rows meet.
  const std::int32_t pitch = RoundToDots(static_cast<double>(state_.lineSpacing) * state_.scale * job_.DpiY /
                                         static_cast<double>(kUnitsPerInch));
  const TextRect cell{job_.X, job_.Y, job_.X + width, job_.Y + (pitch > 0 ? pitch : glyphs_[0].em)};
  blocks_.clear();
  if (!BlockRectangles(character, cell, std::max(1, job_.DpiY / 100), blocks_)) {
    const char32_t text[1] = {character};
    if (selected_ != glyphs_[0].font) {
      device->SelectFont(glyphs_[0].font);
      selected_ = glyphs_[0].font;
    }
    device->DrawUnicodeText(std::u32string_view(text, 1), cell);
    return;
  }
  for (const TextRect& rect : blocks_) device->FillRectangle(rect);
}

void Escp2Interpreter::Decorate(std::int32_t left, std::int32_t right, const Glyph& glyph) {
  PrintDevice* device = job_.DeviceContext.get();
  if (device == nullptr || right <= left) return;
  const std::int32_t thickness = std::max(1, job_.DpiY / 180);
  // Underline below the baseline, strike-through across the middle, overscore at the top of the cell.
  const std::int32_t rows[3] = {glyph.top + glyph.em * 9 / 10, glyph.top + glyph.em * 2 / 5, glyph.top};
  for (int line = 0; line < 3; ++line) {
    const std::uint8_t kind = glyph.score[static_cast<std::size_t>(line)];
    if (kind == 0) continue;
    const std::int32_t y = job_.Y + rows[line];
    device->FillRectangle(TextRect{left, y, right, y + thickness});
    if (kind == 2) device->FillRectangle(TextRect{left, y + 2 * thickness, right, y + 3 * thickness});
  }
}

void Escp2Interpreter::Flush() {
  if (run_.empty()) return;
  if (PrintDevice* device = job_.DeviceContext.get()) {
    if (selected_ != runFont_) {
      device->SelectFont(runFont_);
      selected_ = runFont_;
    }
    device->DrawUnicodeText(run_, runRect_);
    const std::int32_t y = job_.Y;
    job_.Y = runRect_.top - runGlyph_.top;
    Decorate(runRect_.left, runRect_.right, runGlyph_);
    job_.Y = y;
  }
  run_.clear();
  runFont_ = 0;
}

}  // namespace quillmark
