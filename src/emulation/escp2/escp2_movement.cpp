// The control codes and every move of the print position: lines, pages, margins and tabs.
#include <algorithm>

#include "emulation/escp2/escp2_fonts.h"
#include "emulation/escp2/escp2_interpreter.h"

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
  kDelete = 127,
};

}  // namespace

void Escp2Interpreter::ControlCode(std::uint8_t byte) {
  switch (byte) {
    case kBackspace: {
      EndRun();
      const std::int32_t back = job_.X - ColumnWidth();
      if (back >= job_.OriginX + state_.leftMargin) job_.X = back;
      break;
    }
    case kTab: {
      EndRun();
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
      // Without tabs since power-on VT is a line feed; after ESC B NUL it only returns the carriage.
      if (state_.verticalTabCount == 0) {
        if (state_.verticalTabsCleared) {
          CarriageReturn();
        } else {
          LineFeed();
        }
        break;
      }
      CarriageReturn();
      for (std::uint8_t i = 0; i < state_.verticalTabCount; ++i) {
        if (state_.verticalTabs[i] > state_.vertical && state_.verticalTabs[i] < state_.bottomMargin) {
          Flush();
          state_.mode.doubleWidthLine = false;
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
      EndRun();
      state_.mode.doubleWidthLine = true;
      break;
    case kShiftIn:
      EndRun();
      state_.mode.condensed = true;
      break;
    case kDeviceControl2:
      EndRun();
      state_.mode.condensed = false;
      break;
    case kDeviceControl4:
      EndRun();
      state_.mode.doubleWidthLine = false;
      break;
    case kCancel:
      // The whole line's text is dropped, whatever print modes it went through.
      run_.clear();
      runFont_ = 0;
      lineRunCount_ = 0;
      lineRules_.clear();
      job_.X = job_.OriginX + state_.leftMargin;
      break;
    case kDelete:
      if (!run_.empty() && runFont_ != 0) {
        const Glyph& glyph = glyphs_[0].font == runFont_ ? glyphs_[0] : glyphs_[1];
        if (glyph.font == runFont_ && glyph.advance == glyph.drawAdvance && !glyph.proportional) {
          run_.pop_back();
          runRect_.right -= glyph.advance;
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
  state_.mode.doubleWidthLine = false;
  // A line whose characters would cross the bottom margin starts the next page instead: at the foot of
  // the sheet it would be cut off. The line's height is its characters' or, when lines are closer, the
  // line pitch, so that a form of n lines holds n lines. Fine moves (ESC J, raster graphics) keep the
  // plain rule; an image that would cross the margin moves whole (BeginImage).
  const std::int64_t target = state_.vertical + state_.lineSpacing;
  if (state_.lineSpacing > 0 && target + std::min(CellUnits(), state_.lineSpacing) > state_.bottomMargin) {
    FormFeed();
    return;
  }
  MoveDown(state_.lineSpacing);
}

void Escp2Interpreter::FormFeed() {
  CarriageReturn();
  state_.mode.doubleWidthLine = false;
  // The next page starts only when something is printed on it, so a final form feed adds no page; a
  // second form feed in a row ejects the empty page before it.
  if (pagePending_) BeginDrawing();
  pagePending_ = true;
  formTopOnSheet_ = 0;
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
  if (unitsFromTopOfForm < state_.topMargin) return;
  // Below the bottom margin: the top of form of the next page.
  if (unitsFromTopOfForm >= state_.bottomMargin) {
    FormFeed();
    return;
  }
  Flush();
  state_.vertical = unitsFromTopOfForm;
  SyncY();
}

std::int64_t Escp2Interpreter::CellUnits() const {
  const std::int64_t cell = InUnits<144>(state_.mode.halfPoints);
  return state_.mode.doubleHeight ? 2 * cell : cell;
}

void Escp2Interpreter::SetHorizontal(std::int64_t dotsFromOrigin) {
  if (dotsFromOrigin < state_.leftMargin || dotsFromOrigin >= RightLimit()) return;
  EndRun();
  job_.X = job_.OriginX + static_cast<std::int32_t>(dotsFromOrigin);
}

void Escp2Interpreter::SetPageLength(std::int64_t units) {
  if (units <= 0) return;
  Flush();
  // Below the top of form the current line becomes the top of form, as on continuous paper.
  if (state_.vertical != 0) {
    formTopOnSheet_ = job_.Y - job_.OriginY;
    state_.vertical = 0;
  }
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

}  // namespace quillmark
