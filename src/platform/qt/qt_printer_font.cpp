#include "platform/qt/qt_printer_font.h"

#include <QFont>
#include <QFontDatabase>
#include <QList>
#include <QPointF>
#include <QString>

#include <cmath>
#include <cstdlib>
#include <mutex>

#include "emulation/code_page_437.h"

namespace quillmark {
namespace {

constexpr std::uint8_t kOemCharSet = 255;
constexpr std::uint8_t kVariablePitch = 2;
// Em height for a request of height 0, which leaves the size to the platform.
constexpr double kDefaultEmHeight = 16.0;

// The face for a pitch: DejaVu when installed, otherwise whatever the system offers for that pitch.
QString FamilyFor(bool fixedPitch) {
  static std::once_flag once;
  static QString fixedFamily;
  static QString variableFamily;
  std::call_once(once, [] {
    const QStringList families = QFontDatabase::families();
    fixedFamily = families.contains(QStringLiteral("DejaVu Sans Mono"))
                      ? QStringLiteral("DejaVu Sans Mono")
                      : QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    variableFamily = families.contains(QStringLiteral("DejaVu Sans"))
                         ? QStringLiteral("DejaVu Sans")
                         : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  });
  return fixedPitch ? fixedFamily : variableFamily;
}

QRawFont LoadFace(bool fixedPitch, bool bold) {
  QFont font(FamilyFor(fixedPitch));
  font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
  font.setFixedPitch(fixedPitch);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  font.setPixelSize(100);
  return QRawFont::fromFont(font);
}

}  // namespace

char16_t DecodeFontByte(std::uint8_t charSet, std::uint8_t byte) {
  return charSet == kOemCharSet ? Cp437ToUnicode(byte) : static_cast<char16_t>(byte);
}

std::shared_ptr<const QtPrinterFont> QtPrinterFont::Make(const FontRequest& request) {
  const bool fixedPitch = (request.pitchAndFamily & 0x03) != kVariablePitch;
  // Weights between regular and bold are printed as a double strike: DejaVu has no medium face.
  const bool bold = request.weight >= 600;
  const bool doubleStrike = !bold && request.weight >= 450;

  std::shared_ptr<QtPrinterFont> font(new QtPrinterFont);
  font->raw_ = LoadFace(fixedPitch, bold);
  if (!font->raw_.isValid()) return nullptr;

  // A negative height is the em height; a positive one is the whole cell, ascent plus descent.
  double em = kDefaultEmHeight;
  if (request.height < 0) {
    em = -static_cast<double>(request.height);
  } else if (request.height > 0) {
    const double unitCell = (font->raw_.ascent() + font->raw_.descent()) / font->raw_.pixelSize();
    em = request.height / unitCell;
  }
  font->raw_.setPixelSize(em);

  QString text;
  text.reserve(256);
  for (int byte = 0; byte < 256; ++byte) text.append(QChar(DecodeFontByte(request.charSet, static_cast<std::uint8_t>(byte))));
  const QList<quint32> glyphs = font->raw_.glyphIndexesForString(text);
  if (glyphs.size() != 256) return nullptr;
  const QList<QPointF> natural = font->raw_.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);

  const double width = std::abs(static_cast<double>(request.width));
  const double digitAdvance = natural['0'].x();
  double reference = fixedPitch ? digitAdvance : font->raw_.averageCharWidth();
  if (reference <= 0) reference = em / 2;
  font->scaleX_ = width > 0 ? width / reference : 1.0;

  for (std::size_t byte = 0; byte < 256; ++byte) {
    const auto index = static_cast<qsizetype>(byte);
    font->glyphs_[byte] = glyphs[index];
    font->blank_[byte] = text.at(index).isSpace();
    // A fixed pitch advances every character by the same whole number of dots, so columns stay aligned.
    const double advance = fixedPitch ? (width > 0 ? width : digitAdvance) : natural[index].x() * font->scaleX_;
    font->advances_[byte] = static_cast<std::int32_t>(std::lround(advance));
  }

  font->ascent_ = static_cast<std::int32_t>(std::lround(font->raw_.ascent()));
  font->lineHeight_ = font->ascent_ + static_cast<std::int32_t>(std::lround(font->raw_.descent()));
  if (doubleStrike) font->doubleStrikeOffset_ = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(em / 42)));
  return font;
}

}  // namespace quillmark
