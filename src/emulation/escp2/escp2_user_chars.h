#pragma once
// The user-defined (downloaded) characters of the ESC/P 2 printer: ESC & defines them, ESC : fills the set
// with copies of the printer's own characters, ESC % switches between that set and the printer's own
// characters. The set holds codes 0 to 127 and belongs to the print quality, spacing and size it was
// defined in; characters print only while the printer is in that mode again. Print worker thread only.

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace quillmark {

struct Escp2Command;
struct Escp2Context;
struct Escp2PrintMode;

// What a downloaded character was made for: draft or LQ, proportional or fixed, normal or super/subscript
// size. A set holds characters of one kind only.
struct Escp2UserCharKind {
  bool letterQuality = true;
  bool proportional = false;
  bool small = false;  // super- or subscript: 16 dots high instead of 24
  bool operator==(const Escp2UserCharKind&) const = default;
};

struct Escp2UserCharacter {
  std::uint8_t left = 0;              // a0: dot columns of space before the character
  std::uint8_t width = 0;             // a1: dot columns of the character
  std::uint8_t right = 0;             // a2: dot columns of space after it
  std::vector<std::uint8_t> columns;  // `width` columns, top dot in the high bit of each column's first byte
};

struct Escp2UserCharSet {
  std::array<Escp2UserCharacter, 128> characters;
  std::bitset<128> defined;  // by ESC &
  std::bitset<128> copied;   // by ESC :, printed as the printer's own character
  Escp2UserCharKind kind;
  bool selected = false;  // ESC % 1
  // Counts ESC & and ESC :, so that a copy of the set knows whether it is still current.
  std::uint32_t revision = 0;
};

// Bytes per dot column of ESC & in the current mode: 3, or 2 for super/subscript characters.
int UserCharBytesPerColumn(const Escp2PrintMode& mode);

// ESC & NUL n m [a0 a1 a2 d...]: stores the characters n to m that lie in 0 to 127; the data block is the
// one the parser measured with UserCharBytesPerColumn. Characters of another kind are dropped first.
void DefineUserCharacters(Escp2UserCharSet& set, const Escp2PrintMode& mode, const Escp2Command& command);
// ESC : NUL n m: every code of 0 to 127 becomes a copy of the printer's character, earlier ones are gone.
void CopyRomCharacters(Escp2UserCharSet& set, const Escp2PrintMode& mode);
// ESC % n: 1 or "1" selects the set, 0 or "0" the printer's characters.
void SelectUserCharacters(Escp2UserCharSet& set, int n);

enum class UserCharChoice : std::uint8_t {
  kRom,      // the printer's own character
  kImage,    // the downloaded one
  kNothing,  // a code the selected set does not hold: nothing prints and the position stays
};
// How `code` prints in `mode`; for kImage `character` is set.
UserCharChoice ChooseUserCharacter(const Escp2UserCharSet& set, const Escp2PrintMode& mode, std::uint8_t code,
                                   const Escp2UserCharacter*& character);

// The distance from this character to the next in units: a0 + a1 + a2 dot columns, doubled in
// double width, and the ESC SP space.
std::int64_t UserCharacterAdvance(const Escp2UserCharacter& character, const Escp2PrintMode& mode);

// Draws the character's dots at the print position (job.X, job.Y: the top of the line) with the baseline of
// its grid `baseline` dots below job.Y, on the printed text's baseline.
void DrawUserCharacter(Escp2Context& context, const Escp2UserCharacter& character, const Escp2PrintMode& mode,
                       std::int32_t baseline);

}  // namespace quillmark
