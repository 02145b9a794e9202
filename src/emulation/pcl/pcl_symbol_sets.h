#pragma once
// The LaserJet's symbol sets as tables of the core, byte to Unicode. A symbol set is named by its PCL
// identifier: the value times 32 plus the terminating letter's code minus 64 (10U = 341).

#include <cstdint>

namespace quillmark {

constexpr std::int32_t PclSymbolSetId(std::int32_t value, char letter) { return value * 32 + (letter - 64); }

inline constexpr std::int32_t kPc8 = PclSymbolSetId(10, 'U');
inline constexpr std::int32_t kPc8DanishNorwegian = PclSymbolSetId(11, 'U');
inline constexpr std::int32_t kPc850 = PclSymbolSetId(12, 'U');
inline constexpr std::int32_t kRoman8 = PclSymbolSetId(8, 'U');
inline constexpr std::int32_t kIsoLatin1 = PclSymbolSetId(0, 'N');
inline constexpr std::int32_t kWindowsLatin1 = PclSymbolSetId(19, 'U');
inline constexpr std::int32_t kAscii = PclSymbolSetId(0, 'U');

// True for the symbol sets this printer holds; every resident face carries all of them.
bool IsPclSymbolSet(std::int32_t id);

// The character of `byte` in symbol set `id`; 0 where the set has none (the byte prints nothing and does
// not advance). Bytes 0-31 are answered too, for transparent print data: only the PC-8 sets have
// characters there.
char32_t PclCharacter(std::int32_t id, std::uint8_t byte);

}  // namespace quillmark
