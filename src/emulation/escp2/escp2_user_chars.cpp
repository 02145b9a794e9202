#include "emulation/escp2/escp2_user_chars.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "emulation/escp2/bit_image.h"
#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_interpreter.h"

namespace quillmark {
namespace {

constexpr std::size_t kCodes = 128;
// Dot sizes in 1/3600 inch: LQ and proportional columns are 1/360 inch apart, draft ones 1/120; the
// head's dots are 1/180 inch apart.
constexpr std::int64_t kLetterQualityDot = 10;
constexpr std::int64_t kDraftDot = 30;
constexpr std::int64_t kDotHeight = 20;

Escp2UserCharKind KindOf(const Escp2PrintMode& mode) {
  return Escp2UserCharKind{mode.letterQuality, mode.proportional, mode.script != 0};
}

std::int64_t WidthFactor(const Escp2PrintMode& mode) {
  return mode.doubleWidth || mode.doubleWidthLine ? 2 : 1;
}

// Downloaded characters keep their own size: condensed print and ESC X leave them as they are.
std::int64_t DotWidth(const Escp2PrintMode& mode) {
  return (mode.letterQuality || mode.proportional ? kLetterQualityDot : kDraftDot) * WidthFactor(mode);
}

std::int64_t DotHeight(const Escp2PrintMode& mode) { return kDotHeight * (mode.doubleHeight ? 2 : 1); }

void Clear(Escp2UserCharSet& set) {
  for (Escp2UserCharacter& character : set.characters) character = Escp2UserCharacter();
  set.defined.reset();
  set.copied.reset();
}

// Emphasized print strikes every dot a second time one column to the right.
void Embolden(BitImage& image) {
  const auto rowBytes = static_cast<std::size_t>(image.BytesPerRow());
  const int spare = static_cast<int>(rowBytes) * 8 - image.width;
  for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); ++row) {
    std::uint8_t carry = 0;
    for (std::size_t i = row * rowBytes; i < (row + 1) * rowBytes; ++i) {
      const auto next = static_cast<std::uint8_t>(image.bits[i] << 7);
      image.bits[i] = static_cast<std::uint8_t>(image.bits[i] | (image.bits[i] >> 1) | carry);
      carry = next;
    }
    image.bits[(row + 1) * rowBytes - 1] &= static_cast<std::uint8_t>(0xFF << spare);
  }
}

}  // namespace

int UserCharBytesPerColumn(const Escp2PrintMode& mode) { return mode.script != 0 ? 2 : 3; }

void DefineUserCharacters(Escp2UserCharSet& set, const Escp2PrintMode& mode, const Escp2Command& command) {
  // The printer keeps characters of one kind only: defining another kind drops the earlier ones.
  ++set.revision;
  const Escp2UserCharKind kind = KindOf(mode);
  if (kind != set.kind) {
    Clear(set);
    set.kind = kind;
  }
  const auto perColumn = static_cast<std::size_t>(UserCharBytesPerColumn(mode));
  const auto length = static_cast<std::size_t>(std::max(command.dataLength, 0));
  std::size_t at = 0;
  for (std::int32_t code = command.Param(1); code <= command.Param(2); ++code) {
    if (command.data == nullptr || length - at < 3) return;
    const std::size_t bytes = perColumn * command.data[at + 1];
    if (length - at - 3 < bytes) return;
    if (static_cast<std::size_t>(code) < kCodes) {
      Escp2UserCharacter& character = set.characters[static_cast<std::size_t>(code)];
      character.left = command.data[at];
      character.width = command.data[at + 1];
      character.right = command.data[at + 2];
      character.columns.assign(command.data + at + 3, command.data + at + 3 + bytes);
      set.defined.set(static_cast<std::size_t>(code));
      set.copied.reset(static_cast<std::size_t>(code));
    }
    at += 3 + bytes;
  }
}

void CopyRomCharacters(Escp2UserCharSet& set, const Escp2PrintMode& mode) {
  ++set.revision;
  Clear(set);
  set.kind = KindOf(mode);
  set.copied.set();
}

void SelectUserCharacters(Escp2UserCharSet& set, int n) {
  if (n == 1 || n == '1') set.selected = true;
  if (n == 0 || n == '0') set.selected = false;
}

UserCharChoice ChooseUserCharacter(const Escp2UserCharSet& set, const Escp2PrintMode& mode, std::uint8_t code,
                                   const Escp2UserCharacter*& character) {
  // An empty set is never switched to, and a set made in another mode leaves the printer's characters.
  if (!set.selected || code >= kCodes || (set.defined.none() && set.copied.none()) ||
      set.kind != KindOf(mode)) {
    return UserCharChoice::kRom;
  }
  if (set.defined.test(code)) {
    character = &set.characters[code];
    return UserCharChoice::kImage;
  }
  return set.copied.test(code) ? UserCharChoice::kRom : UserCharChoice::kNothing;
}

std::int64_t UserCharacterAdvance(const Escp2UserCharacter& character, const Escp2PrintMode& mode) {
  const std::int64_t columns = std::int64_t{character.left} + character.width + character.right;
  return InUnits<kImageUnitsPerInch>(columns * DotWidth(mode)) + std::int64_t{mode.extraSpace} * WidthFactor(mode);
}

void DrawUserCharacter(Escp2Context& context, const Escp2UserCharacter& character, const Escp2PrintMode& mode,
                       std::int32_t baseline) {
  PrintDevice* device = context.job.DeviceContext.get();
  if (device == nullptr || context.job.DpiX <= 0 || context.scaledDpiY <= 0) return;
  const std::int64_t dotWidth = DotWidth(mode);
  const std::int64_t dotHeight = DotHeight(mode);
  const auto across = [&](std::int64_t units) {
    return context.job.X + static_cast<std::int32_t>(std::llround(static_cast<double>(units) *
                                                                  context.job.DpiX / kImageUnitsPerInch));
  };
  // Only whole columns left of the right margin print.
  std::int64_t shown = character.width;
  while (shown > 0 && across((character.left + shown) * dotWidth) > context.rightMarginX) --shown;
  const int perColumn = UserCharBytesPerColumn(mode);
  const ColumnLayout layout{perColumn, perColumn * 8, static_cast<std::int32_t>(dotWidth),
                            static_cast<std::int32_t>(dotHeight)};
  PrinterImage decoded = DecodeColumns(layout, static_cast<std::int32_t>(shown), character.columns);
  if (decoded.image.width <= 0) return;
  if (mode.bold || mode.style != 0) Embolden(decoded.image);
  // The grid's baseline lies a sixth of its height above its bottom: descenders and the underline below.
  const std::int64_t rows = std::int64_t{perColumn} * 8;
  const std::int32_t top = context.job.Y + std::max(0, baseline - context.DotsDown(InUnits<kImageUnitsPerInch>(rows * 5 / 6 * dotHeight)));
  const TextRect rect{across(character.left * dotWidth), top, across((character.left + shown) * dotWidth),
                      top + context.DotsDown(InUnits<kImageUnitsPerInch>(rows * dotHeight))};
  device->DrawBitImage(decoded.image, rect);
}

// The interpreter's side: the character takes the place of a printed one, wrapping and underlined like it.
void Escp2Interpreter::PrintUserCharacter(const Escp2UserCharacter& character) {
  const Glyph* glyph = &CurrentGlyph(false);
  const std::int32_t advance = DotsX(UserCharacterAdvance(character, state_.mode));
  if (job_.X + advance > job_.OriginX + RightLimit() && job_.X > job_.OriginX + state_.leftMargin) {
    Wrap();
    glyph = &CurrentGlyph(false);
  }
  BeginDrawing();
  lastLineY_ = job_.Y;
  if (BeginImage()) {
    Escp2Context context = GraphicsContext();
    // On the printed characters' baseline, as the score lines take it.
    DrawUserCharacter(context, character, state_.mode, glyph->top + glyph->em * 9 / 10);
  }
  Decorate(job_.X, job_.X + advance, *glyph);
  job_.X += advance;
}

}  // namespace quillmark
