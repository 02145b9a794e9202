#include "emulation/escp2/escp2_charsets.h"

#include <array>

namespace quillmark {
namespace {

// The twelve positions a national set replaces.
constexpr std::array<std::uint8_t, 12> kPositions = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                                     0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};

struct NationalSet {
  std::uint8_t number;
  std::array<char16_t, 12> characters;  // at kPositions
};

// clang-format off
constexpr std::array<NationalSet, 15> kNationalSets = {{
    {0,  {u'#', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}},  // USA
    {1,  {u'#', u'$', u'à', u'°', u'ç', u'§', u'^', u'`', u'é', u'ù', u'è', u'¨'}},   // France
    {2,  {u'#', u'$', u'§', u'Ä', u'Ö', u'Ü', u'^', u'`', u'ä', u'ö', u'ü', u'ß'}},   // Germany
    {3,  {u'£', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}},  // United Kingdom
    {4,  {u'#', u'$', u'@', u'Æ', u'Ø', u'Å', u'^', u'`', u'æ', u'ø', u'å', u'~'}},   // Denmark I
    {5,  {u'#', u'¤', u'É', u'Ä', u'Ö', u'Å', u'Ü', u'é', u'ä', u'ö', u'å', u'ü'}},   // Sweden
    {6,  {u'#', u'$', u'@', u'°', u'\\', u'é', u'^', u'ù', u'à', u'ò', u'è', u'ì'}},  // Italy
    {7,  {u'₧', u'$', u'@', u'¡', u'Ñ', u'¿', u'^', u'`', u'¨', u'ñ', u'}', u'~'}},   // Spain I
    {8,  {u'#', u'$', u'@', u'[', u'¥', u']', u'^', u'`', u'{', u'|', u'}', u'~'}},   // Japan
    {9,  {u'#', u'¤', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}},   // Norway
    {10, {u'#', u'$', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}},   // Denmark II
    {11, {u'#', u'$', u'á', u'¡', u'Ñ', u'¿', u'é', u'`', u'í', u'ñ', u'ó', u'ú'}},   // Spain II
    {12, {u'#', u'$', u'á', u'¡', u'Ñ', u'¿', u'é', u'ü', u'í', u'ñ', u'ó', u'ú'}},   // Latin America
    {13, {u'#', u'$', u'@', u'[', u'₩', u']', u'^', u'`', u'{', u'|', u'}', u'~'}},   // Korea
    {64, {u'#', u'$', u'§', u'°', u'\'', u'"', u'¶', u'`', u'©', u'®', u'†', u'™'}},  // Legal
}};

// ESC ( t: d2 (with d3 = 0) and the table it names.
struct TableCode {
  std::uint8_t d2;
  std::int32_t table;
};
constexpr std::array<TableCode, 10> kTableCodes = {{
    {0, 0}, {1, 437}, {3, 850}, {7, 860}, {8, 863}, {9, 865}, {10, 852}, {11, 857}, {12, 858}, {14, 866},
}};
// clang-format on

const NationalSet* FindSet(std::uint8_t set) {
  for (const NationalSet& candidate : kNationalSets) {
    if (candidate.number == set) return &candidate;
  }
  return nullptr;
}

}  // namespace

bool IsNationalSet(std::uint8_t set) { return FindSet(set) != nullptr; }

char32_t NationalCharacter(std::uint8_t set, std::uint8_t byte) {
  if (set != 0) {
    if (const NationalSet* found = FindSet(set)) {
      for (std::size_t i = 0; i < kPositions.size(); ++i) {
        if (kPositions[i] == byte) return found->characters[i];
      }
    }
  }
  return byte;
}

std::int32_t TableForCode(std::uint8_t d2, std::uint8_t d3) {
  if (d3 != 0) return -1;
  for (const TableCode& code : kTableCodes) {
    if (code.d2 == d2) return code.table;
  }
  return -1;
}

}  // namespace quillmark
