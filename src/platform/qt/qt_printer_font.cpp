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
#include "platform/font_faces.h"

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

// A typeface of the ESC/P 2 printer, as font_faces.h names it.
QRawFont LoadNamedFace(const FontFace& face, bool fixedPitch) {
  QFont font(QString::fromUtf8(face.family.data(), static_cast<qsizetype>(face.family.size())));
  font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::AnyStyle);
  font.setFixedPitch(fixedPitch);
  font.setWeight(face.bold ? QFont::Bold : QFont::Normal);
  font.setItalic(face.italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  font.setPixelSize(100);
  return QRawFont::fromFont(font);
}

// The characters whose glyphs are looked up once per font: Latin, Greek and Cyrillic, and the
// punctuation, symbols, lines and blocks of the DOS code pages.
constexpr char32_t kLowRangeEnd = 0x0500;
constexpr char32_t kHighRangeBegin = 0x2000;
constexpr char32_t kHighRangeEnd = 0x2600;
constexpr std::size_t kTableSize = kLowRangeEnd + (kHighRangeEnd - kHighRangeBegin);

std::ptrdiff_t TableIndex(char32_t c) {
  if (c < kLowRangeEnd) return static_cast<std::ptrdiff_t>(c);
  if (c >= kHighRangeBegin && c < kHighRangeEnd)
    return static_cast<std::ptrdiff_t>(kLowRangeEnd + (c - kHighRangeBegin));
  return -1;
}

QString Utf16(char32_t c) {
  const char32_t text[1] = {c};
  return QString::fromUcs4(text, 1);
}

}  // namespace

void QtPrinterFont::UnicodeGlyph(char32_t character, std::uint32_t& glyph, std::int32_t& advance) const {
  const std::ptrdiff_t index = TableIndex(character);
  if (index >= 0 && static_cast<std::size_t>(index) < unicodeGlyphs_.size()) {
    glyph = unicodeGlyphs_[static_cast<std::size_t>(index)];
    advance = unicodeAdvances_[static_cast<std::size_t>(index)];
    return;
  }
  const QList<quint32> glyphs = raw_.glyphIndexesForString(Utf16(character));
  glyph = glyphs.isEmpty() ? 0 : glyphs.front();
  if (fixedPitch_) {
    advance = fixedAdvance_;
    return;
  }
  const QList<QPointF> natural =
      raw_.advancesForGlyphIndexes(QList<quint32>{glyph}, QRawFont::UseDesignMetrics);
  advance = natural.isEmpty() ? 0 : static_cast<std::int32_t>(std::lround(natural.front().x() * scaleX_));
}

char16_t DecodeFontByte(std::uint8_t charSet, std::uint8_t byte) {
  return charSet == kOemCharSet ? Cp437ToUnicode(byte) : static_cast<char16_t>(byte);
}

std::shared_ptr<const QtPrinterFont> QtPrinterFont::Make(const FontRequest& request) {
  const bool fixedPitch = (request.pitchAndFamily & 0x03) != kVariablePitch;
  // Weights between regular and bold are printed as a double strike: DejaVu has no medium face.
  const bool bold = request.weight >= 600;
  const bool doubleStrike = !bold && request.weight >= 450;

  std::shared_ptr<QtPrinterFont> font(new QtPrinterFont);
  font->raw_ = request.faceName.empty() ? LoadFace(fixedPitch, bold)
                                        : LoadNamedFace(ChooseFontFace(request), fixedPitch);
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
  for (int byte = 0; byte < 256; ++byte)
    text.append(QChar(DecodeFontByte(request.charSet, static_cast<std::uint8_t>(byte))));
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
    const double advance =
        fixedPitch ? (width > 0 ? width : digitAdvance) : natural[index].x() * font->scaleX_;
    font->advances_[byte] = static_cast<std::int32_t>(std::lround(advance));
  }

  if (!request.faceName.empty()) {
    // Only the emulations that print Unicode name a typeface; the byte path needs no such table.
    font->fixedPitch_ = fixedPitch;
    font->fixedAdvance_ = static_cast<std::int32_t>(std::lround(width > 0 ? width : digitAdvance));
    QString all;
    all.reserve(static_cast<qsizetype>(kTableSize));
    for (char32_t c = 0; c < kLowRangeEnd; ++c) all.append(QChar(static_cast<char16_t>(c < 0x20 ? 0x20 : c)));
    for (char32_t c = kHighRangeBegin; c < kHighRangeEnd; ++c) all.append(QChar(static_cast<char16_t>(c)));
    const QList<quint32> unicode = font->raw_.glyphIndexesForString(all);
    if (unicode.size() == static_cast<qsizetype>(kTableSize)) {
      const QList<QPointF> advances = font->raw_.advancesForGlyphIndexes(unicode, QRawFont::UseDesignMetrics);
      font->unicodeGlyphs_.assign(unicode.begin(), unicode.end());
      font->unicodeAdvances_.resize(kTableSize);
      for (std::size_t i = 0; i < kTableSize; ++i) {
        font->unicodeAdvances_[i] =
            fixedPitch ? font->fixedAdvance_
                       : static_cast<std::int32_t>(
                             std::lround(advances[static_cast<qsizetype>(i)].x() * font->scaleX_));
      }
    }
  }

  font->ascent_ = static_cast<std::int32_t>(std::lround(font->raw_.ascent()));
  font->lineHeight_ = font->ascent_ + static_cast<std::int32_t>(std::lround(font->raw_.descent()));
  if (doubleStrike)
    font->doubleStrikeOffset_ = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(em / 42)));
  return font;
}

}  // namespace quillmark
