#include "platform/qt/code_page_437.h"

#include <gtest/gtest.h>

#include <set>

namespace quillmark {
namespace {

TEST(CodePage437, PrintableAsciiIsItself) {
  for (int byte = 0x20; byte <= 0x7E; ++byte) EXPECT_EQ(Cp437ToUnicode(static_cast<std::uint8_t>(byte)), byte);
}

TEST(CodePage437, UpperHalfIsTheDosCharacterSet) {
  const struct {
    std::uint8_t byte;
    char16_t unicode;
  } cases[] = {
      {0x7F, u'⌂'}, {0x80, u'Ç'}, {0x81, u'ü'}, {0x84, u'ä'}, {0x8E, u'Ä'}, {0x94, u'ö'}, {0x99, u'Ö'},
      {0x9A, u'Ü'}, {0xE1, u'ß'}, {0x9C, u'£'}, {0xB0, u'░'}, {0xB3, u'│'}, {0xC4, u'─'}, {0xC5, u'┼'},
      {0xC9, u'╔'}, {0xCD, u'═'}, {0xBF, u'┐'}, {0xDA, u'┌'}, {0xDB, u'█'}, {0xF8, u'°'}, {0xFD, u'²'},
      {0xFE, u'■'}, {0xFF, u'\u00A0'},
  };
  for (const auto& c : cases) EXPECT_EQ(Cp437ToUnicode(c.byte), c.unicode) << int{c.byte};
}

TEST(CodePage437, EveryPrintableByteHasItsOwnCharacter) {
  std::set<char16_t> seen;
  for (int byte = 0x20; byte <= 0xFF; ++byte) seen.insert(Cp437ToUnicode(static_cast<std::uint8_t>(byte)));
  EXPECT_EQ(seen.size(), 0xE0u);
}

}  // namespace
}  // namespace quillmark
